#include "convert/batch.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <ostream>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_set>

#include "convert/info.h"
#include "core/output_file.h"
#include "core/paths.h"
#include "core/strings.h"
#include "core/text_format.h"
#include "core/version.h"

namespace ferolin {

namespace {

constexpr const char* kUsage =
    "usage: ferolin                       open the window\n"
    "       ferolin FILE                  open the window with FILE loaded\n"
    "       ferolin [OPTIONS] PATTERN EXT convert every file matching PATTERN to EXT\n"
    "       ferolin [OPTIONS] FILE [EXT] -o PATH\n"
    "                                     convert FILE to PATH\n"
    "       ferolin --info [--json] [OPTIONS] FILE...\n"
    "                                     print the figures of each FILE\n"
    "       ferolin --help | --version | --list-formats\n"
    "\n"
    "options (for this run only; the stored settings apply otherwise):\n"
    "  --options WORD      writer option word (decimal or 0x hexadecimal)\n"
    "  --geoid METRES      subtract this geoid height from the altitudes\n"
    "  --smooth N          smooth the altitudes over N points on each side\n"
    "  --exclude RULE      drop points matching FIELD OP VALUE, e.g. altitude<0;\n"
    "                      FIELD: satellites latitude longitude altitude pdop hdop\n"
    "                      vdop speed direction record; OP: = < >  (repeatable)\n"
    "  --start \"D/M/YYYY H:MM[:SS]\"\n"
    "                      keep points from this time on\n"
    "  --stop \"D/M/YYYY H:MM[:SS]\"\n"
    "                      keep points up to this time (inclusive); a time\n"
    "                      without seconds is taken at 0 seconds\n"
    "  --no-settings       ignore the stored selection and writer option words\n"
    "  -j N                convert N files at a time (default: one per processor)\n"
    "  -o PATH             write the one file PATTERN matches to PATH (\"-\": the\n"
    "                      standard output); EXT may be left out when PATH ends\n"
    "                      with the extension of a writer\n"
    "  -d, --output-dir DIR  write every output into DIR, named after its input\n"
    "                      (DIR is created when missing); without -o and -d\n"
    "                      each output goes beside its input\n"
    "  --info              print points, times, distance, moving time, speeds,\n"
    "                      ascent, descent and altitudes of the selected points\n"
    "  --json              with --info: one JSON object per file and line\n"
    "  -v, --verbose       say after each message why, and what a read left out\n"
    "  --list-formats      print the extension of every file format ferolin writes,\n"
    "                      one a line\n";

// More workers than this gain nothing on any machine the program runs on.
constexpr uint32_t kMostWorkers = 256;

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

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](char c) { return c >= '0' && c <= '9'; });
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
        if (a.compare(0, 2, "-j") == 0 && (a.size() == 2 || AllDigits(a.substr(2)))) {
            // -j N, or -jN
            if (a.size() == 2 && i + 1 >= arguments.size()) {
                error = "missing value for -j";
                return false;
            }
            const std::string value = a.size() == 2 ? arguments[++i] : a.substr(2);
            uint32_t jobs = 0;
            if (!AllDigits(value) || !ParseUnsigned(value, jobs) || jobs == 0) {
                error = "invalid value for -j: " + value;
                return false;
            }
            options.jobs = jobs;
            continue;
        }
        if (a == "-v") {
            options.verbose = true;
            continue;
        }
        if (a == "-o" || a == "-d" || a == "--output-dir") {
            if (i + 1 >= arguments.size()) {
                error = "missing value for " + a;
                return false;
            }
            (a == "-o" ? options.outputPath : options.outputDir) = arguments[++i];
            continue;
        }
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            options.positional.push_back(a);
            continue;
        }
        if (a == "--help") { options.help = true; continue; }
        if (a == "--version") { options.version = true; continue; }
        if (a == "--list-formats") { options.listFormats = true; continue; }
        if (a == "--no-settings") { options.noSettings = true; continue; }
        if (a == "--info") { options.info = true; continue; }
        if (a == "--verbose") { options.verbose = true; continue; }
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
            ok = ParseWhole(value, metres) && std::isfinite(static_cast<float>(metres));
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
    if (options.start && options.stop) {
        auto key = [](const TimeBound& b) {
            return std::tuple(b.year, b.month, b.day, b.hour, b.minute, b.second);
        };
        if (key(*options.start) > key(*options.stop)) {
            error = "--start is later than --stop";
            return false;
        }
    }
    return true;
}

namespace {

// What every file of a run is converted with: the selection and the writer
// option word, taken from the options and the settings store once, before the
// first file is read. The workers only read it.
struct BatchConfig {
    // `row` is the writer's, none when nothing is written.
    BatchConfig(const BatchOptions& run, const FormatEntry* row, const BatchSettings* settings)
        : options(run) {
        if (run.noSettings) settings = nullptr;
        if (settings) stored = settings->Selection();
        rules = stored.rules;
        rules.insert(rules.end(), run.excludeRules.begin(), run.excludeRules.end());
        writerOptions = run.optionWord    ? *run.optionWord
                        : settings && row ? settings->WriterOptions(row->extension)
                                          : kAllOptions;
    }

    // The selection of a track whose reader's row carries `fieldMask`; its
    // rules are borrowed from this configuration.
    SelectionCriteria Criteria(uint32_t fieldMask) const {
        SelectionCriteria criteria;
        if (options.start) {
            criteria.flags |= kSelectStart;
            criteria.start = *options.start;
        }
        if (options.stop) {
            criteria.flags |= kSelectStop;
            criteria.stop = *options.stop;
        }
        std::vector<const ExclusionRule*> borrowed;
        for (const ExclusionRule& r : rules) borrowed.push_back(&r);
        SetCriteriaRules(criteria, borrowed, fieldMask);
        if (options.geoidHeight || stored.geoidOn) {
            criteria.flags |= kSelectGeoid;
            criteria.geoidHeight = options.geoidHeight.value_or(stored.geoidHeight);
        }
        if (options.smoothingWidth || stored.smoothOn) {
            criteria.flags |= kSelectSmooth;
            criteria.smoothingWidth = options.smoothingWidth.value_or(stored.smoothingWidth);
        }
        return criteria;
    }

    const BatchOptions& options;
    StoredSelection stored;
    std::vector<ExclusionRule> rules;
    uint32_t writerOptions;
};

// One worker's host: the messages of the file in hand go to that file's
// text, one line per message: "PATH: TEXT".
class BatchHost : public DriverHost {
public:
    explicit BatchHost(bool verbose) : verbose_(verbose) {}
    void CollectInto(std::string& messages) { messages_ = &messages; }

    // With --verbose, a second line gives the reason.
    void ShowMessage(const std::string& path, int stringId, MessageIcon,
                     const std::string& reason) override {
        messages_->append(path).append(": ").append(LoadString(stringId)).push_back('\n');
        if (verbose_ && !reason.empty()) messages_->append(path).append(": ").append(reason).push_back('\n');
    }

private:
    bool verbose_;
    std::string* messages_ = nullptr;
};


struct BatchFile {
    std::string input;
    std::string output;
    std::string messages;  // what converting it had to say
    std::string notes;     // with --verbose: what its read left out (no failure)
    bool refused = false;  // its output may not be written: it is not read
    bool done = false;     // guarded by the run's mutex
};

// Where each input's output goes: the one path of -o, the folder of -d under
// the input's title, or beside the input.
std::string OutputPathOf(const BatchOptions& options, const std::string& input,
                         const FormatEntry& row) {
    if (options.outputPath) return *options.outputPath;
    if (!options.outputDir) return ChangeExtension(input, row.extension);
    std::string path = *options.outputDir;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + FileTitle(input) + '.' + row.extension;
}

// Refuses, before anything is read, every output that is an input of the run
// (the file itself under another spelling, or another file the run reads),
// and every output that an earlier input of the listing already writes.
void RefuseHarmfulOutputs(std::vector<BatchFile>& files) {
    std::unordered_set<std::string> inputs, outputs;
    for (const BatchFile& file : files) inputs.insert(FileIdentity(file.input));
    for (BatchFile& file : files) {
        const std::string key = FileIdentity(file.output);
        int reason = 0;
        if (inputs.count(key)) reason = kStrOutputIsInput;
        else if (!outputs.insert(key).second) reason = kStrSharedOutput;
        if (reason == 0) continue;
        file.refused = true;
        file.messages.append(file.input).append(": ").append(LoadString(reason)).push_back('\n');
    }
}

}  // namespace

uint32_t ProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<uint32_t>(CPU_COUNT(&set));
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}

int RunBatchConversion(const BatchOptions& options, const std::vector<std::string>& inputs,
                       int rowIndex, std::ostream& err, const BatchSettings* settings) {
    const FormatEntry& row = FormatTable()[rowIndex];
    const BatchConfig config(options, &row, settings);

    std::vector<BatchFile> files;
    files.reserve(inputs.size());
    for (const std::string& input : inputs)
        files.push_back({input, OutputPathOf(options, input, row), {}, {}, false, false});
    // A port is no file to protect, nor is the standard output.
    if (row.device == DeviceRow::kNone && options.outputPath != kStandardOutputPath)
        RefuseHarmfulOutputs(files);

    // A logger or a port is one device: its files go one at a time. Every
    // other file has an output of its own, none of them read by the run, so
    // the files can go in any order.
    const bool device = row.device != DeviceRow::kNone ||
                        EqualsIgnoreCase(FileExtension(options.positional[0]), "rbt");
    const uint32_t jobs =
        device ? 1 : std::min(options.jobs.value_or(ProcessorCount()), kMostWorkers);
    const std::size_t workers = std::min<std::size_t>(jobs, files.size());

    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::size_t written = 0;  // files whose messages are out, a prefix of the listing
    bool anyMessage = false;
    auto work = [&] {
        BatchHost host(options.verbose);
        CurrentTrack track;
        for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
            BatchFile& file = files[i];
            if (!file.refused) {
                host.CollectInto(file.messages);
                track.Reset();
                if (LoadTrack(track, file.input, host) == 0) {
                    if (options.verbose) file.notes = LeftOutLine(file.input, track.report);
                    ExportToFile(track, file.output, rowIndex, config.Criteria(track.fieldMask),
                                 config.writerOptions, host);
                }
                track.Reset();
            }
            // Out go the messages of every file finished up to the first
            // one still in hand, each file's lines together.
            const std::lock_guard<std::mutex> lock(mutex);
            file.done = true;
            for (; written < files.size() && files[written].done; ++written) {
                const BatchFile& out = files[written];
                if (!out.messages.empty()) anyMessage = true;
                if (!out.messages.empty() || !out.notes.empty())
                    err << out.messages << out.notes << std::flush;
            }
        }
    };

    std::vector<std::thread> threads;
    for (std::size_t k = 1; k < workers; ++k) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: fewer workers
        }
    }
    work();
    for (std::thread& t : threads) t.join();
    return anyMessage ? 1 : 0;
}

int ForEachSelected(const BatchOptions& options, const BatchSettings* settings,
                    std::ostream& err, const SelectedTrackFn& use) {
    const BatchConfig config(options, nullptr, settings);
    BatchHost host(options.verbose);
    int status = 0;
    for (const std::string& path : options.positional) {
        std::string messages;
        host.CollectInto(messages);
        CurrentTrack track;
        const bool loaded = LoadTrack(track, path, host) == 0;
        if (!messages.empty()) {
            err << messages << std::flush;
            status = 1;
        }
        if (!loaded) continue;
        use(path, track, BuildExportList(track.points.get(), track.count, config.Criteria(track.fieldMask),
                                          &track.sensors.document));
    }
    return status;
}

bool IsWindowCommandLine(const std::vector<std::string>& arguments,
                         std::vector<std::string>& windowArguments) {
    BatchOptions options;
    std::string error;
    if (!ParseBatchArguments(arguments, options, error) || options.help || options.version ||
        options.listFormats || options.info || options.json || options.outputPath ||
        options.outputDir || options.positional.size() >= 2)
        return false;
    windowArguments = options.positional;
    return true;
}

namespace {

int Usage(std::ostream& err, const std::string& error) {
    err << "ferolin: " << error << '\n' << kUsage;
    return 2;
}

// The extension of every row with a file writer, in the table's order, each
// once (two rows may share one, as the Magellan log and the BlueGPS datalog
// do): what a script may convert into. The serial-port replay writes no file
// and is left out.
void ListFileFormats(std::ostream& out) {
    const auto table = FormatTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!table[i].writer || table[i].device != DeviceRow::kNone) continue;
        if (FindWriterRow(table[i].extension) != static_cast<int>(i)) continue;
        out << table[i].extension << '\n';
    }
}

}  // namespace

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
        out << "Ferolin " FEROLIN_VERSION "\n";
        return 0;
    }
    if (options.listFormats) {
        ListFileFormats(out);
        return 0;
    }
    if (options.json && !options.info) {
        err << "ferolin: --json goes with --info\n" << kUsage;
        return 2;
    }
    if (options.info && (options.outputPath || options.outputDir))
        return Usage(err, "--info writes no file: -o and -d go with a conversion");
    if (options.info) {
        if (options.positional.empty()) {
            err << "ferolin: --info needs a FILE\n" << kUsage;
            return 2;
        }
        return RunInfo(options, out, err, settings);
    }
    const bool placed = options.outputPath || options.outputDir;
    if (options.outputPath && options.outputDir) return Usage(err, "-o and -d do not go together");
    if (options.positional.size() < 2 && !placed) return 0;  // the window's command lines
    if (options.positional.empty()) return Usage(err, "missing PATTERN");

    // The format: EXT, or the extension of the -o path.
    std::string extension;
    if (options.positional.size() >= 2) {
        extension = options.positional[1];
    } else if (options.outputPath && *options.outputPath != kStandardOutputPath) {
        const std::string name = options.outputPath->substr(FileDirectory(*options.outputPath).size());
        if (name.find('.') != std::string::npos) extension = FileExtension(name);
        if (FindWriterRow(extension) < 0)
            return Usage(err, "no writer for the extension of " + *options.outputPath + ": give EXT");
    } else {
        return Usage(err, "missing EXT");
    }
    const int row = FindWriterRow(extension);
    if (row < 0) {
        err << "unknown output format: " << extension << '\n';
        return 2;
    }
    if (options.outputPath == kStandardOutputPath && FormatTable()[row].device != DeviceRow::kNone)
        return Usage(err, "-o - needs a file format");
    if (options.outputDir) {
        std::error_code failure;
        std::filesystem::create_directories(*options.outputDir, failure);
        if (!std::filesystem::is_directory(*options.outputDir, failure))
            return Usage(err, "cannot create the folder " + *options.outputDir);
    }
    const std::vector<std::string> inputs = MatchingFiles(options.positional[0]);
    if (options.outputPath && inputs.size() > 1)
        return Usage(err, "-o writes one file, but " + options.positional[0] + " matches " +
                              std::to_string(inputs.size()));
    return RunBatchConversion(options, inputs, row, err, settings);
}

}  // namespace ferolin
