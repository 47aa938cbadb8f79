// Helpers shared by the tests: temporary folders and whole-file I/O.
#pragma once

#include <string>

namespace ferolin_test {

// A fresh folder under $TMPDIR (or /tmp), removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

bool WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
// Number of entries in a folder.
int CountFiles(const std::string& folder);

}  // namespace ferolin_test
