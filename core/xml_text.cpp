#include "core/xml_text.h"

namespace ferolin {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence at the start of `s`, 0 when invalid
// (overlong forms, surrogates and code points above U+10FFFF are invalid).
std::size_t ValidSequence(std::string_view s) {
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

template <typename Out>
void AppendEscaped(Out& out, std::string_view text) {
    while (!text.empty()) {
        const char c = text[0];
        const unsigned char u = static_cast<unsigned char>(c);
        std::size_t n = 1;
        if (c == '&') out.append("&amp;");
        else if (c == '<') out.append("&lt;");
        else if (c == '>') out.append("&gt;");
        else if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') out.append(kReplacement);
        else if (u == 0x7F) out.append(kReplacement);
        else if (u < 0x80) out.push_back(c);
        else if ((n = ValidSequence(text)) != 0) out.append(text.substr(0, n));
        else {
            out.append(kReplacement);
            n = 1;
        }
        text.remove_prefix(n);
    }
}

// TextBuffer under the two names the template uses.
struct BufferSink {
    TextBuffer& out;
    void append(std::string_view s) { out.Append(s); }
    void push_back(char c) { out.Append(c); }
};

}  // namespace

void AppendXmlText(TextBuffer& out, std::string_view text) {
    BufferSink sink{out};
    AppendEscaped(sink, text);
}

void AppendXmlText(std::string& out, std::string_view text) { AppendEscaped(out, text); }

}  // namespace ferolin
