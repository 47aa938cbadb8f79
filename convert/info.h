// `ferolin --info FILE...`: the figures of each file's export selection, as
// aligned text or, with --json, as one JSON object per file and line.
#pragma once

#include <iosfwd>
#include <string>

#include "convert/batch.h"
#include "core/figures.h"

namespace ferolin {

// The figures as aligned text, one line per figure, the file first.
std::string FiguresText(const std::string& file, const TrackFigures& figures);
// The figures as one line of JSON with its newline.
std::string FiguresJson(const std::string& file, const TrackFigures& figures);

// Loads each file of `options.positional`, selects its points as the batch
// conversion would and prints its figures to `out`, files in the order
// given; a file that does not load gives its message on `err`. Returns 0, or
// 1 when any file gave a message.
int RunInfo(const BatchOptions& options, std::ostream& out, std::ostream& err,
            const BatchSettings* settings);

}  // namespace ferolin
