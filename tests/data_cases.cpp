#include "data_cases.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sstream>

#include "test_support.h"

namespace fs = std::filesystem;

namespace ferolin_test {

namespace {

bool ParseNumber(std::string_view text, double& value) {
    if (text == "-") {  // no value
        value = kNoValue;
        return true;
    }
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string Print(double value, CellType type) {
    char text[64];
    const auto end = type == CellType::kFloat
                         ? std::to_chars(text, text + sizeof text, static_cast<float>(value)).ptr
                         : std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

bool Same(double got, double want, CellType type) {
    if (got == want || (std::isnan(got) && std::isnan(want))) return true;
    if (type == CellType::kFloat) return std::abs(got - want) <= 1e-6 * std::max(1.0, std::abs(want));
    if (type == CellType::kDouble) return std::abs(got - want) <= 1e-9 * std::max(1.0, std::abs(want));
    return false;
}

std::string SafeName(std::string text) {
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return text.substr(0, 80);
}

std::vector<std::string> SortedFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool PointTable::Has(const std::string& name) const {
    return std::find(header.begin(), header.end(), name) != header.end();
}

double PointTable::Value(std::size_t row, const std::string& name, double unnamed) const {
    const auto at = std::find(header.begin(), header.end(), name);
    return at == header.end() ? unnamed : rows[row][at - header.begin()];
}

std::string PointTable::Directive(const std::string& key, bool* found) const {
    for (const std::string& line : directives)
        if (line == key || line.rfind(key + " ", 0) == 0) {
            if (found) *found = true;
            return line.size() > key.size() ? line.substr(key.size() + 1) : "";
        }
    if (found) *found = false;
    return "";
}

PointTable ReadPointTable(const std::string& path, std::span<const Column> columns,
                          std::span<const char* const> extra) {
    PointTable table;
    if (!FileExists(path)) {
        table.error = "no file " + path;
        return table;
    }
    std::istringstream text(ReadFile(path));
    std::string line;
    int number = 0;
    while (std::getline(text, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::vector<std::string> cells;
        for (std::string word; words >> word;) cells.push_back(word);
        if (table.header.empty()) {
            const bool isHeader = std::any_of(columns.begin(), columns.end(), [&](const Column& c) {
                return cells[0] == c.name;
            });
            if (!isHeader) {
                table.directives.push_back(line);
                continue;
            }
            for (const std::string& name : cells) {
                const bool known =
                    std::any_of(columns.begin(), columns.end(), [&](const Column& c) { return name == c.name; }) ||
                    std::any_of(extra.begin(), extra.end(), [&](const char* e) { return name == e; });
                if (!known) table.error = path + ": unknown column " + name;
            }
            table.header = cells;
            continue;
        }
        std::vector<double> row(cells.size());
        for (std::size_t i = 0; i < cells.size(); ++i)
            if (!ParseNumber(cells[i], row[i])) table.error = path + ":" + std::to_string(number) + ": not a number: " + cells[i];
        if (cells.size() != table.header.size())
            table.error = path + ":" + std::to_string(number) + ": " + std::to_string(cells.size()) +
                          " cells under " + std::to_string(table.header.size()) + " columns";
        table.rows.push_back(row);
    }
    return table;
}

double CellValue(const void* record, const Column& column) {
    const char* at = static_cast<const char*>(record) + column.offset;
    switch (column.type) {
        case CellType::kInt8: { int8_t v; std::memcpy(&v, at, 1); return v; }
        case CellType::kInt16: { int16_t v; std::memcpy(&v, at, 2); return v; }
        case CellType::kInt32: { int32_t v; std::memcpy(&v, at, 4); return v; }
        case CellType::kFloat: { float v; std::memcpy(&v, at, 4); return v; }
        case CellType::kDouble: { double v; std::memcpy(&v, at, 8); return v; }
    }
    return 0;
}

void SetCell(void* record, const Column& column, double value) {
    char* at = static_cast<char*>(record) + column.offset;
    switch (column.type) {
        case CellType::kInt8: { const int8_t v = static_cast<int8_t>(value); std::memcpy(at, &v, 1); break; }
        case CellType::kInt16: { const int16_t v = static_cast<int16_t>(value); std::memcpy(at, &v, 2); break; }
        case CellType::kInt32: { const int32_t v = static_cast<int32_t>(value); std::memcpy(at, &v, 4); break; }
        case CellType::kFloat: { const float v = static_cast<float>(value); std::memcpy(at, &v, 4); break; }
        case CellType::kDouble: std::memcpy(at, &value, 8); break;
    }
}

std::string CompareWithTable(const PointTable& want, std::span<const Column> columns,
                             const void* records, std::size_t size, std::size_t count) {
    std::string differences;
    if (count != want.rows.size())
        differences = std::to_string(count) + " points read, the table lists " +
                      std::to_string(want.rows.size()) + "\n";
    // The columns to print: the table's, then any other that is not 0.
    std::vector<const Column*> shown;
    for (const std::string& name : want.header)
        for (const Column& c : columns)
            if (name == c.name) shown.push_back(&c);
    const auto record = [&](std::size_t i) { return static_cast<const char*>(records) + i * size; };
    for (const Column& c : columns)
        for (std::size_t i = 0; i < count; ++i)
            if (!want.Has(c.name) && !Same(CellValue(record(i), c), c.unnamed, c.type)) {
                shown.push_back(&c);
                break;
            }
    for (std::size_t i = 0; i < std::min(count, want.rows.size()); ++i)
        for (const Column& c : columns) {
            const double got = CellValue(record(i), c), expected = want.Value(i, c.name, c.unnamed);
            if (!Same(got, expected, c.type))
                differences += "point " + std::to_string(i + 1) + " " + c.name + ": " +
                               Print(got, c.type) + ", the table says " + Print(expected, c.type) + "\n";
        }
    if (differences.empty()) return "";
    differences += "read:\n";
    for (std::size_t k = 0; k < shown.size(); ++k) differences += (k ? "\t" : "") + std::string(shown[k]->name);
    for (std::size_t i = 0; i < count; ++i) {
        differences += "\n";
        for (std::size_t k = 0; k < shown.size(); ++k)
            differences += (k ? "\t" : "") + Print(CellValue(record(i), *shown[k]), shown[k]->type);
    }
    return differences + "\n";
}

std::string DataFolder(const std::string& folder) { return std::string(FEROLIN_TEST_DATA) + "/" + folder; }

std::vector<ReadCase> ReadCases(const std::vector<std::string>& folders) {
    std::vector<ReadCase> cases;
    for (const std::string& folder : folders) {
        const std::vector<std::string> files = SortedFiles(DataFolder(folder));
        for (const std::string& file : files) {
            if (!EndsWith(file, ".points")) continue;
            const std::string input = file.substr(0, file.size() - 7);
            if (!std::binary_search(files.begin(), files.end(), input)) continue;
            cases.push_back({SafeName(folder + "_" + input), folder, DataFolder(folder) + "/" + input,
                             DataFolder(folder) + "/" + file});
        }
    }
    return cases;
}

std::vector<WriteCase> WriteCases(const std::vector<std::string>& folders) {
    std::vector<WriteCase> cases;
    for (const std::string& folder : folders) {
        const std::vector<std::string> files = SortedFiles(DataFolder(folder));
        for (const std::string& file : files) {
            WriteCase c;
            std::string name = file;
            if (EndsWith(name, ".none")) {
                c.none = true;
                name.resize(name.size() - 5);
            }
            const auto dot = name.rfind('.');
            const auto optionsDot = dot == std::string::npos || dot == 0 ? std::string::npos : name.rfind('.', dot - 1);
            if (optionsDot == std::string::npos || name.compare(optionsDot + 1, 2, "0x") != 0) continue;
            const std::string options = name.substr(optionsDot + 3, dot - optionsDot - 3);
            if (options.empty() || options.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) continue;
            c.title = name.substr(0, optionsDot);
            if (!std::binary_search(files.begin(), files.end(), c.title + ".points")) continue;
            c.options = static_cast<uint32_t>(std::stoul(options, nullptr, 16));
            c.extension = name.substr(dot + 1);
            c.name = SafeName(folder + "_" + file);
            c.folder = folder;
            c.table = DataFolder(folder) + "/" + c.title + ".points";
            c.expected = DataFolder(folder) + "/" + file;
            cases.push_back(c);
        }
    }
    return cases;
}

std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() + 0 && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace ferolin_test
