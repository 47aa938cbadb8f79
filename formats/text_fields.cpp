#include "formats/text_fields.h"

#include <cmath>

namespace ferolin {

void AppendSignedFixed(TextBuffer& out, double value, int precision, int width) {
    const char sign = std::signbit(value) ? '-' : '+';
    if (!std::isfinite(value)) {
        const char* word = std::isnan(value) ? "nan" : "inf";
        for (int i = 4; i < width; ++i) out.Append(' ');
        out.Append(sign);
        out.Append(word);
        return;
    }
    if (sign == '+') {
        out.Append('+');
        AppendFixedPadded(out, value, precision, width - 1);
    } else {
        // The minus sign comes from the number itself, zeros after it.
        AppendFixedPadded(out, value, precision, width);
    }
}

}  // namespace ferolin
