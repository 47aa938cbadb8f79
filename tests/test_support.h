// Helpers shared by the tests: temporary folders, whole-file I/O, a fixed
// clock and a locale for one scope.
#pragma once

#include <locale.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

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

// SOURCE_DATE_EPOCH set for the life of the object.
class FixedClock {
public:
    explicit FixedClock(const char* seconds) {
        const char* old = std::getenv("SOURCE_DATE_EPOCH");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("SOURCE_DATE_EPOCH", seconds, 1);
    }
    ~FixedClock() {
        if (hadOld_) setenv("SOURCE_DATE_EPOCH", old_.c_str(), 1);
        else unsetenv("SOURCE_DATE_EPOCH");
    }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
};

// The process runs under the locale `name` for the life of the object; the
// set-up script generates de_DE.UTF-8 (comma as decimal separator).
class LocaleScope {
public:
    explicit LocaleScope(const char* name) {
        const char* old = std::setlocale(LC_ALL, nullptr);
        old_ = old ? old : "C";
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleScope() { std::setlocale(LC_ALL, old_.c_str()); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;
    bool active() const { return active_; }

private:
    std::string old_;
    bool active_ = false;
};

// This thread reads and prints numbers in the C locale for the life of the
// object, whatever the process's locale: the reference values the tests
// compute with printf, atof or sscanf must not take a comma for the point.
class CNumbers {
public:
    CNumbers() : c_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0))), old_(uselocale(c_)) {}
    ~CNumbers() {
        uselocale(old_);
        freelocale(c_);
    }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    locale_t c_;
    locale_t old_;
};

}  // namespace ferolin_test
