#include "convert/batch.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ostream>

#include "convert/info.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_format.h"

namespace ferolin {

namespace {

constexpr const char* kUsage =
    "usage: ferolin                       open the window\n"
    "       ferolin FILE                  open the window with FILE loaded\n"
    "       ferolin [OPTIONS] PATTERN EXT convert every file matching PATTERN to EXT\n"
    "       ferolin --info [--json] [OPTIONS] FILE...\n"
    "                                     print the figures of each FILE\n"
    "       ferolin --help | --version\n"
    "\n"
    "options (for this run only; the stored settings apply otherwise):\n"
    "  --options WORD      writer option word (decimal or 0x hexadecimal)\n"
    "  --geoid METRES      subtract this geoid height from the altitudes\n"
    "  --smooth N          smooth the altitudes over N points on each side\n"
    "  --exclude RULE      drop points matching FIELD OP VALUE, e.g. altitude<0;\n"
    "                      FIELD: satellites latitude longitude altitude pdop hdop\n"
    "                      vdop speed direction record; OP: = < >  (repeatable)\n"
    "  --start \"D/M/YYYY H:MM\"  keep points from this time on\n"
    "  --stop \"D/M/YYYY H:MM\"   keep points up to this time\n"
    "  --no-settings       ignore the stored selection and writer option words\n"
    "  --info              print points, times, distance, moving time, speeds,\n"
    "                      ascent, descent and altitudes of the selected points\n"
    "  --json              with --info: one JSON object per file and line\n";

// A whole argument as a decimal number, with the point whatever the locale.
bool ParseWhole(const std::string& text, double& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin < end && *begin == '+' && ++begin < end && *begin == '-') return false;
    if (begin == end) return false;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end;
}

bool ParseUnsigned(const std::string& text, uint32_t& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    int base = 10;
    const char* begin = text.c_str();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        begin += 2;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(begin, &end, base);
    if (errno != 0 || end == begin || *end != '\0' || v > 0xFFFFFFFFull) return false;
    value = static_cast<uint32_t>(v);
    return true;
}

struct FieldName {
    const char* name;
    uint32_t bit;
};
constexpr FieldName kFieldNames[] = {
    {"satellites", kDataSatellites}, {"latitude", kDataLatitude}, {"longitude", kDataLongitude},
    {"altitude", kDataAltitude},     {"pdop", kDataPdop},         {"hdop", kDataHdop},
    {"vdop", kDataVdop},             {"speed", kDataSpeed},       {"direction", kDataDirection},
    {"record", kDataRecord},
};

// Trims blanks and double quotes from both ends, as the command line does.
std::string TrimArgument(const std::string& argument) {
    const auto first = argument.find_first_not_of(" \"");
    if (first == std::string::npos) return std::string();
    const auto last = argument.find_last_not_of(" \"");
    return argument.substr(first, last - first + 1);
}

}  // namespace

bool ParseExcludeRule(const std::string& text, ExclusionRule& rule) {
    const auto op = text.find_first_of("=<>");
    if (op == std::string::npos || op == 0) return false;
    const std::string field = text.substr(0, op);
    rule = ExclusionRule{};
    for (const FieldName& f : kFieldNames)
        if (EqualsIgnoreCase(field, f.name)) rule.dataType = f.bit;
    if (rule.dataType == 0) return false;
    rule.comparator = text[op] == '=' ? kCompareEqual
                      : text[op] == '<' ? kCompareLess
                                        : kCompareGreater;
    return ParseWhole(text.substr(op + 1), rule.reference);
}

bool ParseBatchArguments(const std::vector<std::string>& rawArguments, BatchOptions& options,
                         std::string& error) {
    options = BatchOptions{};
    std::vector<std::string> arguments;
    for (const std::string& a : rawArguments) {
        std::string trimmed = TrimArgument(a);
        if (!trimmed.empty()) arguments.push_back(std::move(trimmed));
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            options.positional.push_back(a);
            continue;
        }
        if (a == "--help") { options.help = true; continue; }
        if (a == "--version") { options.version = true; continue; }
        if (a == "--no-settings") { options.noSettings = true; continue; }
        if (a == "--info") { options.info = true; continue; }
        if (a == "--json") { options.json = true; continue; }
        const bool takesValue = a == "--options" || a == "--geoid" || a == "--smooth" ||
                                a == "--exclude" || a == "--start" || a == "--stop";
        if (!takesValue) {
            error = "unknown option: " + a;
            return false;
        }
        if (i + 1 >= arguments.size()) {
            error = "missing value for " + a;
            return false;
        }
        const std::string& value = arguments[++i];
        bool ok = true;
        if (a == "--options") {
            uint32_t word;
            ok = ParseUnsigned(value, word);
            if (ok) options.optionWord = word;
        } else if (a == "--geoid") {
            double metres;
            ok = ParseWhole(value, metres);
            if (ok) options.geoidHeight = static_cast<float>(metres);
        } else if (a == "--smooth") {
            uint32_t width;
            ok = ParseUnsigned(value, width);
            if (ok) options.smoothingWidth = width;
        } else if (a == "--exclude") {
            ExclusionRule rule;
            ok = ParseExcludeRule(value, rule);
            if (ok) options.excludeRules.push_back(rule);
        } else {
            TimeBound bound;
            ok = ParseTimeBound(value, bound);
            if (ok) (a == "--start" ? options.start : options.stop) = bound;
        }
        if (!ok) {
            error = "invalid value for " + a + ": " + value;
            return false;
        }
    }
    return true;
}

namespace {

// Messages go to standard error, one line per message: "PATH: TEXT".
class BatchHost : public DriverHost {
public:
    BatchHost(const BatchOptions& options, std::ostream& err, const BatchSettings* settings)
        : options_(options), err_(err), settings_(options.noSettings ? nullptr : settings) {
        if (settings_) stored_ = settings_->Selection();
        rules_ = stored_.rules;
        rules_.insert(rules_.end(), options.excludeRules.begin(), options.excludeRules.end());
    }

    void ShowMessage(const std::string& path, int stringId, MessageIcon) override {
        err_ << path << ": " << LoadString(stringId) << '\n';
        ++messages_;
    }

    void BuildCriteria(uint32_t fieldMask, SelectionCriteria& criteria) override {
        criteria = SelectionCriteria{};
        if (options_.start) {
            criteria.flags |= kSelectStart;
            criteria.start = *options_.start;
        }
        if (options_.stop) {
            criteria.flags |= kSelectStop;
            criteria.stop = *options_.stop;
        }
        std::vector<const ExclusionRule*> rules;
        for (const ExclusionRule& r : rules_) rules.push_back(&r);
        SetCriteriaRules(criteria, rules, fieldMask);
        if (options_.geoidHeight || stored_.geoidOn) {
            criteria.flags |= kSelectGeoid;
            criteria.geoidHeight = options_.geoidHeight.value_or(stored_.geoidHeight);
        }
        if (options_.smoothingWidth || stored_.smoothOn) {
            criteria.flags |= kSelectSmooth;
            criteria.smoothingWidth = options_.smoothingWidth.value_or(stored_.smoothingWidth);
        }
    }

    uint32_t WriterOptions(const FormatEntry& row) override {
        if (options_.optionWord) return *options_.optionWord;
        return settings_ ? settings_->WriterOptions(row.extension) : kAllOptions;
    }

    int messages() const { return messages_; }

private:
    const BatchOptions& options_;
    std::ostream& err_;
    const BatchSettings* settings_;
    StoredSelection stored_;
    std::vector<ExclusionRule> rules_;
    int messages_ = 0;
};

}  // namespace

int RunBatchConversion(const BatchOptions& options, int rowIndex, std::ostream& err,
                       const BatchSettings* settings) {
    BatchHost host(options, err, settings);
    CurrentTrack track;
    RunBatch(track, options.positional[0], rowIndex, host);
    return host.messages() ? 1 : 0;
}

bool LoadSelected(const BatchOptions& options, const BatchSettings* settings,
                  const std::string& path, std::ostream& err, CurrentTrack& track,
                  std::vector<ExportEntry>& entries) {
    BatchHost host(options, err, settings);
    if (LoadTrack(track, path, host) != 0) return false;
    SelectionCriteria criteria;
    host.BuildCriteria(track.fieldMask, criteria);
    entries = BuildExportList(track.points.get(), track.count, criteria);
    return true;
}

bool IsWindowCommandLine(const std::vector<std::string>& arguments,
                         std::vector<std::string>& windowArguments) {
    BatchOptions options;
    std::string error;
    if (!ParseBatchArguments(arguments, options, error) || options.help || options.version ||
        options.info || options.json || options.positional.size() >= 2)
        return false;
    windowArguments = options.positional;
    return true;
}

int FerolinMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                const BatchSettings* settings) {
    BatchOptions options;
    std::string error;
    if (!ParseBatchArguments(arguments, options, error)) {
        err << "ferolin: " << error << '\n' << kUsage;
        return 2;
    }
    if (options.help) {
        out << kUsage;
        return 0;
    }
    if (options.version) {
        out << "Ferolin 1.51\n";
        return 0;
    }
    if (options.json && !options.info) {
        err << "ferolin: --json goes with --info\n" << kUsage;
        return 2;
    }
    if (options.info) {
        if (options.positional.empty()) {
            err << "ferolin: --info needs a FILE\n" << kUsage;
            return 2;
        }
        return RunInfo(options, out, err, settings);
    }
    if (options.positional.size() < 2) return 0;  // the window's command lines
    const int row = FindWriterRow(options.positional[1]);
    if (row < 0) {
        err << "unknown output format: " << options.positional[1] << '\n';
        return 2;
    }
    return RunBatchConversion(options, row, err, settings);
}

}  // namespace ferolin
