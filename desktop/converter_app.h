// The desktop program's application object: runs the main dialog modally and
// ends when it closes.
#pragma once

#include <QApplication>

#include <string>
#include <vector>

namespace ferolin {

class ConverterApp : public QApplication {
    Q_OBJECT
public:
    // Qt adopts the environment's locale for the C library; numbers are
    // read and written with a point whatever the user's locale, so
    // LC_NUMERIC goes back to "C" right here.
    ConverterApp(int& argc, char** argv);

    // Shows the main dialog (with FILE loaded when one is given) until the
    // user closes it; returns the process exit status.
    int Run(const std::vector<std::string>& arguments);
};

}  // namespace ferolin
