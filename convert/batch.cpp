#include "convert/batch.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <mutex>
#include <numeric>
#include <ostream>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "convert/info.h"
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
    "  -j N                convert N files at a time (default: one per processor)\n"
    "  --info              print points, times, distance, moving time, speeds,\n"
    "                      ascent, descent and altitudes of the selected points\n"
    "  --json              with --info: one JSON object per file and line\n";

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

    const BatchOptions& options;
    StoredSelection stored;
    std::vector<ExclusionRule> rules;
    uint32_t writerOptions;
};

// One worker's host: the messages of the file in hand go to that file's
// text, one line per message: "PATH: TEXT".
class BatchHost : public DriverHost {
public:
    explicit BatchHost(const BatchConfig& config) : config_(config) {}

    void CollectInto(std::string& messages) { messages_ = &messages; }

    void ShowMessage(const std::string& path, int stringId, MessageIcon) override {
        messages_->append(path).append(": ").append(LoadString(stringId)).push_back('\n');
    }

    void BuildCriteria(uint32_t fieldMask, SelectionCriteria& criteria) override {
        const BatchOptions& options = config_.options;
        const StoredSelection& stored = config_.stored;
        criteria = SelectionCriteria{};
        if (options.start) {
            criteria.flags |= kSelectStart;
            criteria.start = *options.start;
        }
        if (options.stop) {
            criteria.flags |= kSelectStop;
            criteria.stop = *options.stop;
        }
        std::vector<const ExclusionRule*> rules;
        for (const ExclusionRule& r : config_.rules) rules.push_back(&r);
        SetCriteriaRules(criteria, rules, fieldMask);
        if (options.geoidHeight || stored.geoidOn) {
            criteria.flags |= kSelectGeoid;
            criteria.geoidHeight = options.geoidHeight.value_or(stored.geoidHeight);
        }
        if (options.smoothingWidth || stored.smoothOn) {
            criteria.flags |= kSelectSmooth;
            criteria.smoothingWidth = options.smoothingWidth.value_or(stored.smoothingWidth);
        }
    }

    uint32_t WriterOptions(const FormatEntry&) override { return config_.writerOptions; }

private:
    const BatchConfig& config_;
    std::string* messages_ = nullptr;
};

struct BatchFile {
    std::string input;
    std::string output;
    std::string messages;  // what converting it had to say
    bool done = false;     // guarded by the run's mutex
};

// The file a path names once it exists, as an absolute path with links
// resolved: two spellings of one file give one key.
std::string PathKey(const std::string& path) {
    std::string key;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        key = resolved;
        std::free(resolved);
        return key;
    }
    // Not there yet: its folder resolved, and its name.
    const std::string folder = FileDirectory(path);
    char* resolved = realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    if (!resolved) return path;
    key = resolved;
    std::free(resolved);
    if (key.empty() || key.back() != '/') key += '/';
    return key + path.substr(folder.size());
}

// Groups the files into chains: files that share a path (two outputs, or the
// output of one and the input of another) fall into one chain, converted one
// after another in the order of the listing, exactly as one worker alone
// would convert them. Chains come in the order of their first file.
std::vector<std::vector<std::size_t>> Chains(const std::vector<BatchFile>& files) {
    std::vector<std::size_t> parent(files.size());
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    auto find = [&](std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    std::unordered_map<std::string, std::size_t> owner;
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (const std::string* path : {&files[i].input, &files[i].output}) {
            const auto [it, added] = owner.emplace(PathKey(*path), i);
            if (!added) {
                const std::size_t a = find(i), b = find(it->second);
                parent[std::max(a, b)] = std::min(a, b);  // the earliest file is the root
            }
        }
    }
    std::vector<std::vector<std::size_t>> chains;
    std::vector<std::size_t> chainOf(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::size_t root = find(i);
        if (root == i) {
            chainOf[i] = chains.size();
            chains.emplace_back();
        }
        chains[chainOf[root]].push_back(i);
    }
    return chains;
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

int RunBatchConversion(const BatchOptions& options, int rowIndex, std::ostream& err,
                       const BatchSettings* settings) {
    const FormatEntry& row = FormatTable()[rowIndex];
    const BatchConfig config(options, &row, settings);

    std::vector<BatchFile> files;
    for (std::string& input : MatchingFiles(options.positional[0])) {
        std::string output = ChangeExtension(input, row.extension);
        files.push_back({std::move(input), std::move(output), {}, false});
    }

    // A logger or a port is one device: its files go one at a time.
    const bool device = row.device != DeviceRow::kNone ||
                        EqualsIgnoreCase(FileExtension(options.positional[0]), "rbt");
    const uint32_t jobs =
        device ? 1 : std::min(options.jobs.value_or(ProcessorCount()), kMostWorkers);
    std::vector<std::vector<std::size_t>> chains;
    if (jobs > 1 && files.size() > 1) {
        chains = Chains(files);
    } else if (!files.empty()) {
        chains.emplace_back(files.size());  // one worker: the listing in order
        std::iota(chains[0].begin(), chains[0].end(), std::size_t{0});
    }
    const std::size_t workers = std::min<std::size_t>(jobs, chains.size());

    std::atomic<std::size_t> nextChain{0};
    std::mutex mutex;
    std::size_t written = 0;  // files whose messages are out, a prefix of the listing
    bool anyMessage = false;
    auto work = [&] {
        BatchHost host(config);
        CurrentTrack track;
        for (std::size_t c; (c = nextChain.fetch_add(1)) < chains.size();) {
            for (const std::size_t i : chains[c]) {
                BatchFile& file = files[i];
                host.CollectInto(file.messages);
                track.Reset();
                if (LoadTrack(track, file.input, host) == 0)
                    ExportToFile(track, file.output, rowIndex, host);
                track.Reset();
                // Out go the messages of every file finished up to the first
                // one still in hand, each file's lines together.
                const std::lock_guard<std::mutex> lock(mutex);
                file.done = true;
                for (; written < files.size() && files[written].done; ++written) {
                    if (files[written].messages.empty()) continue;
                    anyMessage = true;
                    err << files[written].messages << std::flush;
                }
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
    BatchHost host(config);
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
        SelectionCriteria criteria;
        host.BuildCriteria(track.fieldMask, criteria);
        use(path, track, BuildExportList(track.points.get(), track.count, criteria));
    }
    return status;
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
        out << "Ferolin " FEROLIN_VERSION "\n";
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
