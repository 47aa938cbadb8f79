// ferolix: the handheld edition of the GPS track converter.
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QFile>

#include "pocket/ppc_document.h"
#include "pocket/ppc_window.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const PPCCommandLine line = PPCParseCommandLine(args, std::cout, std::cerr);
    if (line.mode == PPCCommandLine::kFinished) return line.status;
    // The headless export needs neither Qt nor a display.
    if (line.mode == PPCCommandLine::kHeadless) return PPCRunHeadless(line, std::cerr);

    QApplication app(argc, argv);
    // Qt adopts the environment's locale for the C library; numbers keep the
    // point whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    CMainFrame frame;
    if (!line.file.empty()) frame.OpenFile(QFile::decodeName(line.file.c_str()));
    frame.show();
    return app.exec();
}
