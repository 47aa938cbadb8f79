#include "program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "test_support.h"

extern char** environ;

namespace ferolin_test {

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::vector<std::string>& extra, const std::string& scratch,
                      double limitSeconds, const std::function<void(pid_t)>& watch) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
        bool replaced = false;
        for (const std::string& x : extra)
            if (v.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0) replaced = true;
        if (!replaced) env.push_back(v);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    const std::string outPath = scratch + "/.run-stdout";
    const std::string errPath = scratch + "/.run-stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ProgramRun run;
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;

    int status = 0;
    for (;;) {
        // The child's own high-water mark: the rusage of wait4 would add the
        // memory this process had when it spawned the child.
        std::ifstream memory("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(memory, line);)
            if (line.rfind("VmHWM:", 0) == 0) run.peakKilobytes = std::max(run.peakKilobytes, std::atol(line.c_str() + 6));
        const pid_t done = waitpid(pid, &status, WNOHANG);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        run.seconds = elapsed.count();
        if (done == pid) {
            run.finished = true;
            break;
        }
        if (done < 0) break;
        if (run.seconds > limitSeconds) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        if (watch) watch(pid);
        std::this_thread::sleep_for(std::chrono::milliseconds(watch ? 1 : 5));
    }
    if (run.finished) {
        run.signaled = WIFSIGNALED(status);
        if (run.signaled) run.signal = WTERMSIG(status);
        if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    }
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return run;
}

}  // namespace ferolin_test
