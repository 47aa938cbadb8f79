#include "desktop/converter_app.h"

#include <clocale>

#include "core/version.h"
#include "desktop/main_dlg.h"

namespace ferolin {

CConverterApp::CConverterApp(int& argc, char** argv) : QApplication(argc, argv) {
    std::setlocale(LC_NUMERIC, "C");
    setApplicationName(QStringLiteral("Ferolin"));
    setApplicationVersion(QStringLiteral(FEROLIN_VERSION));
    setDesktopFileName(QStringLiteral("ferolin"));
}

int CConverterApp::Run(const std::vector<std::string>& arguments) {
    CMainDlg dialog;
    if (!dialog.Start(arguments)) return 0;
    dialog.exec();
    return 0;
}

}  // namespace ferolin
