#include "devices/port_list.h"

#include <dirent.h>

#include <algorithm>

#include "core/paths.h"

namespace ferolin {

std::vector<std::string> ListSerialPorts(const std::string& folder) {
    static const char* const kPatterns[] = {"ttyUSB*", "ttyACM*", "rfcomm*", "ttyS*"};
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
        closedir(dir);
    }
    const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + '/';
    std::vector<std::string> ports;
    for (const char* pattern : kPatterns) {
        std::vector<std::string> matched;
        for (const std::string& name : names)
            if (WildcardMatch(pattern, name)) matched.push_back(name);
        std::sort(matched.begin(), matched.end(), [](const std::string& a, const std::string& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        for (const std::string& name : matched) ports.push_back(prefix + name);
    }
    return ports;
}

}  // namespace ferolin
