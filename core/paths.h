// Path helpers shared by the driver, the writers and the batch mode. Both "/"
// and "\" separate folders; the last "." of the whole path starts the
// extension.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ferolin {

// Text after the last "."; the whole path when it has none.
std::string FileExtension(std::string_view path);
// Text up to and including the last separator; empty when there is none.
std::string FileDirectory(std::string_view path);
// Text after the last separator, cut before its own last "." when it has one.
std::string FileTitle(std::string_view path);
// The path up to and including its last ".", then the extension; the
// extension alone when the path has no ".".
std::string ChangeExtension(std::string_view path, std::string_view extension);

// Case-insensitive comparison of ASCII texts (extensions, option names).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string ToUpper(std::string_view text);

// Opens the file at `path` for reading when it is a regular file: a FIFO or
// a device named like a track is refused at once, without waiting for a
// writer (the open does not block) or reading forever. The descriptor, with
// the file's size in `size`; -1 with the reason in `reason` (the system's
// words, or "not a regular file") otherwise.
int OpenRegularFile(const std::string& path, std::size_t& size, std::string& reason);
// The same for a reader that tells why it failed: the reason becomes the
// running read's (SetReadReason).
int OpenTrackFile(const std::string& path, std::size_t& size);

// `*` and `?` wildcard match of one file name, case-sensitive.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace ferolin
