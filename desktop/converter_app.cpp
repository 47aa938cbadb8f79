#include "desktop/converter_app.h"

#include <clocale>

#include "core/version.h"
#include "desktop/main_dialog.h"

namespace ferolin {

ConverterApp::ConverterApp(int& argc, char** argv) : QApplication(argc, argv) {
    std::setlocale(LC_NUMERIC, "C");
    setApplicationName(QStringLiteral("Ferolin"));
    setApplicationVersion(QStringLiteral(FEROLIN_VERSION));
    setDesktopFileName(QStringLiteral("ferolin"));
}

int ConverterApp::Run(const std::vector<std::string>& arguments) {
    MainDialog dialog;
    if (!dialog.Start(arguments)) return 0;
    dialog.exec();
    return 0;
}

}  // namespace ferolin
