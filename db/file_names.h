// File names and the names of databases, aliases and fields. All texts are GBK: a byte of 0x80
// or more leads a two-byte character whose trail byte may look like `\`, `/`, `.` or a letter,
// so every scan here steps over whole characters.
#pragma once

#include <string>
#include <string_view>

namespace memo::db {

constexpr const char* kRecordFileExtension = "EDB";
constexpr const char* kMemoFileExtension = "EDT";
constexpr const char* kIndexFileExtension = "ENX";

// A name without an extension (no '.' after the last separator) gets "." + extension; a name
// ending in '.' gets the extension; any other name stays as it is.
std::string CompleteName(std::string_view name, std::string_view extension);

// The absolute, normalised form of a completed name (separators become '/').
std::string FullPathOf(std::string_view name, std::string_view extension);

// The full path with its extension replaced (a.mcn -> a.EDT); the case-insensitive lookup of the
// file layer then finds a.edt.
std::string ReplaceExtension(std::string_view path, std::string_view extension);

// The MemoFile that belongs to a RecordFile: its name with the extension replaced by "EDT"
// (a.mcn -> a.EDT), except that a file name whose part before its last '.' is empty keeps its
// whole name and gets ".EDT" after it (.a -> .a.EDT), so that ".a" and ".b" never share ".EDT".
std::string MemoFileName(std::string_view record_path);

// Passing names: a sort builds its target's files under these names beside them and renames them
// into place once complete. The passing name of "b.mcn" is "b.mcn.~sort<number>", that of its
// MemoFile "b.EDT.~sort<number>" (the same number for both files of one sort).
std::string SortPassingName(std::string_view path, uint32_t number);

// True when `name` (a file name without directory) is a passing name of the file named
// `file_name` (without directory; ASCII letters compared ignoring case, as the file layer finds
// names): `file_name` + ".~sort" + one or more digits.
bool IsSortPassingNameOf(std::string_view name, std::string_view file_name);

// The file name without directory and extension.
std::string FileTitle(std::string_view path);

// The directory part including its final separator, or "" when the name has none.
std::string DirectoryPart(std::string_view path);

// Equality ignoring the case of ASCII letters that are whole characters (trail bytes compare
// exactly).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// A valid alias or field name: the first character a half- or full-width letter or a Chinese
// character, every other one a letter, a digit (half- or full-width) or a Chinese character.
bool IsValidName(std::string_view name);

// Characters (not bytes) in a GBK text; a lone lead byte at the end counts as one.
size_t CharacterCount(std::string_view text);

// The longest prefix of at most `limit` bytes that does not end inside a two-byte character.
size_t CutWithoutSplitting(std::string_view text, size_t limit);

}  // namespace memo::db
