// Live output on a serial port: a receiver's sentences replayed one point at
// a time, each stamped with the current UTC time, at a fixed pace.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/text_format.h"

namespace ferolin {

// Appends to `out` what point `index` sends, stamped with the live UTC time
// "hhmmss.sss" and date "ddmmyy".
using PointSentences =
    std::function<void(uint32_t index, std::string_view time, std::string_view date, TextBuffer& out)>;

// Opens the port that `path` names, sets 8N1 and `baud` (0, or a rate the
// port refuses, keeps its speed), discards pending input and output, then for
// each of the `count` points sends what `sentences` gives and waits `pace`.
// A stuck line costs the point its sentences, not the replay. Status 1 when
// no port can be opened, else 0.
int ReplayOnPort(const std::string& path, uint32_t baud, uint32_t count,
                 std::chrono::milliseconds pace, const PointSentences& sentences);

}  // namespace ferolin
