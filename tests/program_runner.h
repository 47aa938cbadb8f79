// Runs one of the programs as a child process with a time limit, its output
// and error streams caught in files.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace ferolin_test {

struct ProgramRun {
    bool finished = false;  // ended within the time limit (killed otherwise)
    bool signaled = false;  // ended by a signal (a crash)
    int status = -1;        // exit status when it ended normally
    int signal = 0;         // the signal that ended it, when one did
    long peakKilobytes = 0; // its largest resident size, as sampled while it ran
    double seconds = 0;     // time until it ended
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` in the test's environment without the
// display variables, with `extra` ("NAME=VALUE") set on top. A program still
// running after `limitSeconds` is killed. `scratch` is a folder for the two
// capture files. `watch`, when given, is called with the child's process id
// every few milliseconds while it runs.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& extra, const std::string& scratch,
                      double limitSeconds = 60, const std::function<void(pid_t)>& watch = {});

}  // namespace ferolin_test
