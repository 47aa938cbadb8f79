// The batch command line: ferolin [OPTIONS] PATTERN EXT converts every file
// matching PATTERN without a window, with the stored selection settings and
// writer option words, which the options override for one run.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/driver.h"
#include "core/figures.h"
#include "core/selection.h"

namespace ferolin {

struct BatchOptions {
    std::vector<std::string> positional;  // PATTERN EXT (more are ignored)
    std::optional<uint32_t> optionWord;
    std::optional<float> geoidHeight;
    std::optional<uint32_t> smoothingWidth;
    std::vector<ExclusionRule> excludeRules;
    std::optional<TimeBound> start;
    std::optional<TimeBound> stop;
    std::optional<uint32_t> jobs;  // files converted at a time; default: processors
    std::optional<std::string> outputPath;  // -o: the one output ("-": standard output)
    std::optional<std::string> outputDir;   // -d: the folder of every output
    bool noSettings = false;
    bool info = false;  // --info: print the figures of each positional FILE
    bool json = false;  // --json: as JSON lines
    bool verbose = false;  // -v, --verbose: the reason after each message
    bool help = false;
    bool version = false;
    bool listFormats = false;  // --list-formats: the extensions of the file writers
};

// Parses the arguments after the program name; false with a message in
// `error` on a usage error (an unknown option, a value that is no number or
// no finite one, a start later than the stop).
bool ParseBatchArguments(const std::vector<std::string>& arguments, BatchOptions& options,
                         std::string& error);

// Parses an exclusion rule written FIELD OP VALUE ("altitude<0", "record=12").
bool ParseExcludeRule(const std::string& text, ExclusionRule& rule);

// The selection the window would apply, as restored from the settings store.
struct StoredSelection {
    std::vector<ExclusionRule> rules;
    bool geoidOn = false;
    float geoidHeight = 0;
    bool smoothOn = false;
    uint32_t smoothingWidth = 0;
};

// What the batch run takes from the stored settings; the program that owns
// the settings store provides it. Without one, nothing is stored.
class BatchSettings {
public:
    virtual ~BatchSettings() = default;
    virtual StoredSelection Selection() const = 0;
    // The stored option word of the writer of `extension`.
    virtual uint32_t WriterOptions(std::string_view extension) const = 0;
    // The dead band of the ascent and descent, in metres.
    virtual double AscentThreshold() const { return kDefaultAscentThreshold; }
};

// Runs the batch conversion of `inputs` (the pattern's listing, sorted) with
// messages to `err`; returns the exit status: 0 when every file converted, 1
// when any file gave a message. Each input goes to `options.outputPath`,
// into `options.outputDir` under its title, or beside itself with the
// row's extension. An output that is an input of the run is not written,
// and of several inputs with one output only the first writes it; the
// others get a message without being read. The files are converted
// `options.jobs` at a time (default: one per processor); their messages come
// out as one block per file, in the order of the listing, whatever order the
// files finish in. A logger download and a replay on a port run one file at
// a time.
int RunBatchConversion(const BatchOptions& options, const std::vector<std::string>& inputs,
                       int rowIndex, std::ostream& err, const BatchSettings* settings);

// The number of processors this process may run on (at least 1).
uint32_t ProcessorCount();

// Loads each file of `options.positional` in turn and selects its points as
// the batch conversion would (settings read once), handing file, track and
// export list to `use`; a file that does not load gives its message on `err`
// and is skipped. Returns 1 when any file gave a message, else 0.
using SelectedTrackFn = std::function<void(const std::string& path, const CurrentTrack& track,
                                           const std::vector<ExportEntry>& entries)>;
int ForEachSelected(const BatchOptions& options, const BatchSettings* settings,
                    std::ostream& err, const SelectedTrackFn& use);

// True when the arguments ask for the window (nothing, or one FILE), which then
// receives `windowArguments`; false for the batch mode, --help, --version and
// usage errors, which FerolinMain handles without a display.
bool IsWindowCommandLine(const std::vector<std::string>& arguments,
                         std::vector<std::string>& windowArguments);

// The batch command line of `ferolin`; returns the process exit status.
int FerolinMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                const BatchSettings* settings);

}  // namespace ferolin
