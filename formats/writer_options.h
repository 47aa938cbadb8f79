// The options of a writer, declared once beside its code: each bit of its
// option word with the name the manual page gives it, its default and, when
// the options sheet shows it, the text, place and objectName of its box. The
// format table points each writer's row at its list, so that the options
// sheet builds its pages from it and the tests hold the manual page to it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ferolin {

// How an option uses its bits.
enum OptionKind : uint8_t {
    kOptionCheck,   // one bit, on or off
    kOptionChoice,  // one bit of a group in which the first one set wins
    kOptionNumber,  // a number held in the bits of a mask
};

struct WriterOption {
    uint32_t bits;       // the option's bit, or the mask of a number
    const char* name;    // as the manual page's option-word tables name it
    OptionKind kind;
    bool byDefault;      // set when no option word is stored
    // The option's box on the options sheet: its text (string table; 0 for
    // an option the sheet does not show), its column (0 the left one) and
    // row in the page's grid, and its objectName. The sheet shows check
    // options only.
    int labelId;
    int column;
    int row;
    const char* objectName;
};

// The options of one writer followed by those of another, for a writer that
// takes all the options of a neighbour and some of its own.
template <std::size_t N, std::size_t M>
constexpr std::array<WriterOption, N + M> JoinOptions(const WriterOption (&first)[N],
                                                      const WriterOption (&second)[M]) {
    std::array<WriterOption, N + M> all{};
    for (std::size_t i = 0; i < N; ++i) all[i] = first[i];
    for (std::size_t i = 0; i < M; ++i) all[N + i] = second[i];
    return all;
}

}  // namespace ferolin
