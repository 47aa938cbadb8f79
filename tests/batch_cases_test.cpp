// The batch command line of ferolin, run on the cases of tests/data/batch/:
// each .case file sets up a folder, runs one command line and states its exit
// status, its messages and the files it leaves (layout in that folder's
// README).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "convert/batch.h"
#include "data_cases.h"
#include "test_support.h"

using namespace ferolin;
using namespace ferolin_test;

namespace {

// Settings as a user may have stored them, at face value.
struct StoredSettings : BatchSettings {
    StoredSelection selection;
    std::map<std::string, uint32_t> options;
    StoredSelection Selection() const override { return selection; }
    uint32_t WriterOptions(std::string_view extension) const override {
        const auto at = options.find(std::string(extension));
        return at == options.end() ? kAllOptions : at->second;
    }
};

std::string Replaced(std::string text, const std::string& folder) {
    for (std::size_t at; (at = text.find("$D")) != std::string::npos;) text.replace(at, 2, folder);
    return text;
}

// Words separated by blanks; single quotes keep blanks (and double quotes) in one word.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '\'') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any) words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any) words.push_back(word);
    return words;
}

std::vector<std::string> Cases() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(DataFolder("batch")))
        if (entry.path().extension() == ".case") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Batch : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(Batch, RunsAsItsCaseSays) {
    const std::string data = DataFolder("batch");
    TempDir dir;
    StoredSettings settings;
    std::vector<std::string> arguments;
    std::string wantOut, wantErr, line;
    std::vector<std::string> outParts, errParts;
    int wantStatus = 0;
    std::vector<std::pair<std::string, std::string>> files;  // name, expected file ("" = none)
    std::istringstream text(ReadFile(data + "/" + GetParam() + ".case"));
    while (std::getline(text, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::string key = line.substr(0, line.find(' '));
        const std::string rest = line.size() > key.size() ? Replaced(line.substr(key.size() + 1), dir.path()) : "";
        const std::vector<std::string> words = Words(rest);
        if (key == "input") {
            ASSERT_TRUE(WriteFile(dir.File(words.back()), ReadFile(data + "/" + words.front()))) << line;
        } else if (key == "folder") {
            ASSERT_EQ(mkdir(dir.File(rest).c_str(), 0755), 0) << line;
        } else if (key == "stored") {
            ExclusionRule rule;
            if (words[0] == "rule" && ParseExcludeRule(words[1], rule)) settings.selection.rules.push_back(rule);
            else if (words[0] == "geoid") settings.selection.geoidOn = true, settings.selection.geoidHeight = std::stof(words[1]);
            else if (words[0] == "smooth") settings.selection.smoothOn = true, settings.selection.smoothingWidth = std::stoul(words[1]);
            else if (words[0] == "options") settings.options[words[1]] = static_cast<uint32_t>(std::stoul(words[2], nullptr, 0));
            else FAIL() << "unknown setting: " << line;
        } else if (key == "run") {
            arguments = words;
        } else if (key == "status") {
            wantStatus = std::stoi(rest);
        } else if (key == "out" || key == "err") {
            (key == "out" ? wantOut : wantErr) += rest + "\n";
        } else if (key == "out~" || key == "err~") {
            (key == "out~" ? outParts : errParts).push_back(rest);
        } else if (key == "file" || key == "nofile") {
            files.emplace_back(words[0], key == "file" ? data + "/" + words[1] : "");
        } else {
            FAIL() << "unknown line: " << line;
        }
    }
    std::ostringstream out, err;
    EXPECT_EQ(FerolinMain(arguments, out, err, &settings), wantStatus);
    if (outParts.empty()) {
        EXPECT_EQ(out.str(), wantOut);
    }
    if (errParts.empty()) {
        EXPECT_EQ(err.str(), wantErr);
    }
    for (const std::string& part : outParts) EXPECT_NE(out.str().find(part), std::string::npos) << part;
    for (const std::string& part : errParts) EXPECT_NE(err.str().find(part), std::string::npos) << part;
    for (const auto& [name, expected] : files) {
        if (expected.empty()) {
            EXPECT_FALSE(FileExists(dir.File(name))) << name;
        } else {
            EXPECT_EQ(ReadFile(dir.File(name)), ReadFile(expected)) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Data, Batch, ::testing::ValuesIn(Cases()), [](const auto& param) { return param.param; });
