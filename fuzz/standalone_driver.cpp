// Runs a fuzz target without libFuzzer: every file named on the command line
// (or found in a named folder), then a fixed number of deterministic mutations
// of them: byte flips, cut-offs, repeated pieces, long lines and huge counts.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void Run(const std::string& input) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

void Collect(const std::string& path, std::vector<std::string>& inputs) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
        DIR* dir = opendir(path.c_str());
        if (!dir) return;
        while (dirent* e = readdir(dir))
            if (e->d_name[0] != '.') Collect(path + "/" + e->d_name, inputs);
        closedir(dir);
        return;
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    inputs.push_back(text.str());
}

struct Random {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state);
    }
};

std::string Mutate(const std::string& seed, Random& r) {
    std::string s = seed;
    const int steps = 1 + static_cast<int>(r.Next() % 8);
    for (int i = 0; i < steps; ++i) {
        const size_t at = s.empty() ? 0 : r.Next() % (s.size() + 1);
        switch (r.Next() % 7) {
            case 0: if (!s.empty() && at < s.size()) s[at] = static_cast<char>(r.Next()); break;
            case 1: s.resize(at); break;
            case 2: s.insert(at, std::string(1 + r.Next() % 3000, static_cast<char>('0' + r.Next() % 75))); break;
            case 3: if (at < s.size()) s.insert(at, s.substr(at, r.Next() % 200)); break;
            case 4: s.insert(at, "\n"); break;
            case 5: s.insert(at, std::string(1, '\0')); break;
            case 6: s.insert(at, r.Next() % 2 ? "4294967295" : "-99999999999999999999e999"); break;
        }
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> inputs;
    int rounds = 2000;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--rounds=", 0) == 0)
            rounds = std::atoi(a.c_str() + 9);
        else
            Collect(a, inputs);
    }
    inputs.push_back(std::string());
    for (const std::string& input : inputs) Run(input);
    Random random;
    for (int i = 0; i < rounds; ++i) Run(Mutate(inputs[random.Next() % inputs.size()], random));
    std::printf("%zu seeds and %d mutations ran\n", inputs.size(), rounds);
    return 0;
}
