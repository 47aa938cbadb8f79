// How a track reader ended.
#pragma once

#include <cstdint>

namespace ferolin {

// Every status but kOk is a failure: the reader's outputs then hold no track,
// and the driver tries the next format row of the file's extension.
enum class ReadStatus : uint8_t {
    kOk,
    kCannotOpen,     // missing, unreadable, a folder, a FIFO or a device; a port that does not open
    kNotThisFormat,  // the content is not the reader's format (header or mark missing,
                     // a device on the port that does not answer as a logger)
    kNoMemory,       // the points do not fit in memory
    // The XML parser's own failures. Unlike the others they leave the window's
    // point details as they are.
    kXmlUnreadable,  // the parser could not read the file
    kXmlMalformed,   // the document is not well-formed XML
};

}  // namespace ferolin
