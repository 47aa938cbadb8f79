#include "core/xml_text.h"

#include "core/utf8.h"

namespace ferolin {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

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
        else if ((n = Utf8SequenceLength(text)) != 0) out.append(text.substr(0, n));
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
