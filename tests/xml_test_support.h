// Helpers of the XML format tests: a real parser's verdict on a document.
#pragma once

#include <expat.h>
#include <string>

#include "test_support.h"

namespace ferolin_test {

// Checking well-formedness, a windows-1252 document may be read as Latin-1:
// the markup is the same in both.
inline int XMLCALL Latin1ForWindows1252(void*, const XML_Char* name, XML_Encoding* info) {
    if (std::string(name) != "windows-1252") return XML_STATUS_ERROR;
    for (int i = 0; i < 256; ++i) info->map[i] = i;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

// Whether expat (with namespace processing, as the readers run it) accepts
// the whole document.
inline bool IsWellFormedXml(const std::string& document) {
    XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
    XML_SetUnknownEncodingHandler(parser, Latin1ForWindows1252, nullptr);
    const bool ok = XML_Parse(parser, document.data(), static_cast<int>(document.size()),
                              XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

}  // namespace ferolin_test
