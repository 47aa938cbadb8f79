// UTF-8 checks of the text writers (XML and JSON names).
#pragma once

#include <cstddef>
#include <string_view>

namespace ferolin {

// Length of the valid UTF-8 sequence at the start of `s`, 0 when invalid
// (overlong forms, surrogates and code points above U+10FFFF are invalid).
inline std::size_t Utf8SequenceLength(std::string_view s) {
    if (s.empty()) return 0;
    const auto b = [&s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    if (c < 0x80) return 1;
    std::size_t n;
    unsigned char lo = 0x80, hi = 0xBF;  // range of the second byte
    if (c >= 0xC2 && c <= 0xDF) n = 2;
    else if (c == 0xE0) { n = 3; lo = 0xA0; }
    else if (c >= 0xE1 && c <= 0xEC) n = 3;
    else if (c == 0xED) { n = 3; hi = 0x9F; }
    else if (c >= 0xEE && c <= 0xEF) n = 3;
    else if (c == 0xF0) { n = 4; lo = 0x90; }
    else if (c >= 0xF1 && c <= 0xF3) n = 4;
    else if (c == 0xF4) { n = 4; hi = 0x8F; }
    else return 0;
    if (s.size() < n || b(1) < lo || b(1) > hi) return 0;
    for (std::size_t i = 2; i < n; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF) return 0;
    return n;
}

}  // namespace ferolin
