// Makes the bundled sample datalog: make_sample_datalog PATH [POINTS].
#include <cstdio>
#include <cstdlib>

#include "datalog_generator.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_sample_datalog PATH [POINTS]\n");
        return 2;
    }
    const unsigned long points = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 600;
    if (!ferolin_tools::WriteSampleDatalog(argv[1], static_cast<uint32_t>(points), 7)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
