// Helpers shared by the POSIX file layer; not part of the platform interface.
#pragma once

#include <string>
#include <string_view>

namespace memo::platform::posix {

// The GBK path as a UTF-8 path with every `\` turned into `/`. Conversion happens before the
// separators are replaced, because 0x5C may be the trail byte of a GBK character.
// False (and *out untouched) when the bytes are not valid GBK: such a name could only be opened
// after replacing characters, which might name another file.
bool Utf8Path(std::string_view path_gbk, std::string* out);

// The UTF-8 name on disk, as ResolveOnDisk; false for bytes that are not valid GBK.
bool ResolvePath(std::string_view path_gbk, std::string* out);

// True when the directory that would hold `path_utf8` exists (used to tell a missing file from a
// missing directory on the way).
bool ParentDirectoryExists(const std::string& path_utf8);

// ASCII-only case-insensitive equality; bytes of 0x80 and above compare exactly.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace memo::platform::posix
