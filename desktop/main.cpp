// ferolin: the desktop GPS track converter.
#include <iostream>
#include <string>
#include <vector>

#include "desktop/batch.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return ferolin::FerolinMain(arguments, std::cout, std::cerr);
}
