// The file-driven cases under tests/data/<format>/ and the point table, the
// plain text that lists a track point by point (layout in tests/data/README.md).
// The code knows records only through a list of named columns, so that the
// desktop's 55-byte record and the handheld's record share it.
#pragma once

#include <cstddef>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace ferolin_test {

// The value of a `-` cell: a NaN with its sign set, told apart from a `nan`
// cell (a NaN value the record holds) by IsNoValue.
inline const double kNoValue = -std::numeric_limits<double>::quiet_NaN();
inline bool IsNoValue(double value) { return std::isnan(value) && std::signbit(value); }

enum class CellType { kInt8, kInt16, kInt32, kFloat, kDouble };

// One field of a record: its name in the table header, type and offset, and
// its value when the table does not name it (a sensor channel: none, NaN).
struct Column {
    const char* name;
    CellType type;
    std::size_t offset;
    double unnamed = 0;
};

struct PointTable {
    std::string error;                    // why the file could not be read
    std::vector<std::string> directives;  // lines before the header: "failed", "message TEXT", ...
    std::vector<std::string> header;      // the columns the file names, in its order
    std::vector<std::vector<double>> rows;

    bool Has(const std::string& name) const;
    // Cell of `row` in column `name`, `unnamed` when the file does not name it.
    double Value(std::size_t row, const std::string& name, double unnamed = 0) const;
    // The text after "key " of the first directive with that key; `found` tells.
    std::string Directive(const std::string& key, bool* found = nullptr) const;
};

// Reads a table; header names must be among `columns` or `extra`.
PointTable ReadPointTable(const std::string& path, std::span<const Column> columns,
                          std::span<const char* const> extra = {});

double CellValue(const void* record, const Column& column);
void SetCell(void* record, const Column& column, double value);

// The records that a table lists; unnamed fields are 0.
template <typename Record>
std::vector<Record> RecordsOf(const PointTable& table, std::span<const Column> columns) {
    std::vector<Record> records(table.rows.size(), Record{});
    for (std::size_t i = 0; i < records.size(); ++i)
        for (const Column& c : columns) SetCell(&records[i], c, table.Value(i, c.name, c.unnamed));
    return records;
}

// Empty when the `count` records (each `size` bytes) hold what the table
// lists, field by field (reals within rounding of their type); else the
// differences, then the records printed in the table's layout.
std::string CompareWithTable(const PointTable& want, std::span<const Column> columns,
                             const void* records, std::size_t size, std::size_t count);

// A reader case: an input file and, beside it, INPUT.points.
struct ReadCase {
    std::string name;  // folder and file, for the test's name
    std::string folder, input, expected;
};
// A writer case: TITLE.points, and the expected output TITLE.OPTIONS.EXT
// (OPTIONS in hexadecimal, "0x..."); with a further ".none" the writer must
// succeed without writing a file. TITLE is percent-decoded for the file the
// writer writes, so that names with any byte can be tried.
struct WriteCase {
    std::string name;
    std::string folder, table, expected, title, extension;
    uint32_t options = 0;
    bool none = false;
};

// A case shows as its name when a test fails.
inline void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }
inline void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

// The folder tests/data/<folder>.
std::string DataFolder(const std::string& folder);
std::vector<ReadCase> ReadCases(const std::vector<std::string>& folders);
std::vector<WriteCase> WriteCases(const std::vector<std::string>& folders);
std::string PercentDecoded(const std::string& text);

}  // namespace ferolin_test
