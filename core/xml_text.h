// Text placed in XML character data by the writers (track and document names).
#pragma once

#include <string>
#include <string_view>

#include "core/text_format.h"

namespace ferolin {

// Appends `text` so that the document stays well-formed: "&", "<" and ">"
// become "&amp;", "&lt;" and "&gt;"; each invalid UTF-8 sequence, and each
// control character other than tab, line feed and carriage return, becomes
// U+FFFD. Valid UTF-8 is copied byte for byte.
void AppendXmlText(TextBuffer& out, std::string_view text);
void AppendXmlText(std::string& out, std::string_view text);

}  // namespace ferolin
