// ferolin: the desktop GPS track converter. The window opens without
// arguments or with one track file; a pattern and an output extension run
// the batch conversion, which needs no display and creates no application
// object.
#include <iostream>
#include <string>
#include <vector>

#include "convert/batch.h"
#include "core/output_file.h"
#include "desktop/converter_app.h"
#include "desktop/settings_store.h"

int main(int argc, char** argv) {
    // Before any thread starts: an interrupted export leaves no temporary file.
    ferolin::RemoveTemporaryFilesOnSignals();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::vector<std::string> windowArguments;
    if (!ferolin::IsWindowCommandLine(arguments, windowArguments)) {
        const ferolin::StoredBatchSettings settings;
        return ferolin::FerolinMain(arguments, std::cout, std::cerr, &settings);
    }
    ferolin::ConverterApp app(argc, argv);
    return app.Run(windowArguments);
}
