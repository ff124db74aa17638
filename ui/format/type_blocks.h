// The type blocks of the unit records: each type's stored properties, read into plain settings
// and written back. Every block starts with a u32 version. Numbers are u32 unless stated;
// colours 0x00BBGGRR, 0xFF000000 the default colour.
//
// Reading: an empty block gives the defaults and kOk; a block of a higher version than the
// reader knows gives kNewerVersion; a block that ends before its last field (for its version)
// gives kTruncated; a field whose value the format forbids gives kBadValue. No failure reads
// outside the bytes given, and on failure *out is left as it was. A lower version omits only the
// fields marked with a higher minimum version; those keep their defaults, and `version` holds the
// version read. Bytes after the last field are ignored (except the grid block's extension, which
// is part of it).
// Fonts: a blob32 font of exactly 60 bytes is a LOGFONT; any other length is no font (the
// default GUI font), not a failure.
// Writing: the current version whatever `version` says, every field; Read(Write(x)) == x for a
// block of the current version whose fonts have faces of at most 31 bytes without 0 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font.h"

namespace memo::ui {

enum class BlockStatus { kOk, kNewerVersion, kTruncated, kBadValue };

constexpr uint32_t kDefaultColour = 0xFF000000u;

// A Windows LOGFONT (60 bytes): i32 height, width, escapement, orientation, weight; u8 italic,
// underline, strike-out, charset, out precision, clip precision, quality, pitch and family;
// 32 bytes face name (NUL-terminated, GBK).
struct LogFont {
  int32_t height = 0;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strike_out = 0;
  uint8_t charset = 0;
  uint8_t out_precision = 0;
  uint8_t clip_precision = 0;
  uint8_t quality = 0;
  uint8_t pitch_and_family = 0;
  std::string face;  // at most 31 bytes

  platform::FontSpec ToFontSpec() const;
  friend bool operator==(const LogFont&, const LogFont&) = default;
};
constexpr size_t kLogFontBytes = 60;
// False (and *out untouched) unless `bytes` holds exactly 60 bytes.
bool ReadLogFont(std::string_view bytes, LogFont* out);
std::string WriteLogFont(const LogFont& font);

// A stored font: empty (the platform's default GUI font) or a LOGFONT.
struct StoredFont {
  bool present = false;
  LogFont font;
  friend bool operator==(const StoredFont&, const StoredFont&) = default;
};

// Window, version 6 (lower versions omit the fields of a higher minimum version).
struct WindowBlock {
  uint32_t version = 6;
  uint32_t border = 2;  // 0 none, 1 resizable, 2 fixed, 3/4 narrow caption, 5/6 sunken edge
  uint32_t picture_mode = 1;
  uint32_t background = kDefaultColour;
  uint32_t maximize_button = 0;
  uint32_t minimize_button = 0;
  uint32_t control_box = 1;
  uint32_t start_position = 1;  // 0 as stored, 1 centred, 2 minimised, 3 maximised
  uint32_t movable = 1;
  uint32_t sound_mode = 0;
  uint32_t enter_moves_focus = 0;
  uint32_t esc_closes = 1;
  uint32_t f1_opens_help = 0;
  uint32_t help_topic = 0;
  uint32_t show_in_taskbar = 1;  // version >= 2
  uint32_t drag_anywhere = 0;    // version >= 3
  uint32_t word17 = 0;           // version >= 3
  uint32_t always_on_top = 0;    // version >= 4
  uint32_t word19 = 0;           // version >= 5
  std::string text20;            // version 6
  std::string picture;           // blob32
  std::string icon;              // blob32
  std::string sound;             // blob32
  std::string caption;           // text32, GBK
  std::string help_file;         // text32, GBK
  friend bool operator==(const WindowBlock&, const WindowBlock&) = default;
};

// EditBox, version 2.
struct EditBoxBlock {
  uint32_t version = 2;
  uint32_t border = 1;
  uint32_t text_colour = 0;
  uint32_t background = 0xFFFFFF;
  uint32_t hide_selection = 1;
  uint32_t max_length = 0;  // bytes, 0 unlimited
  uint32_t multi_line = 0;
  uint32_t scroll_bars = 0;  // 0 none, 1 horizontal, 2 vertical, 3 both
  uint32_t alignment = 0;    // 0 left, 1 centre, 2 right
  uint32_t input_mode = 0;   // 0 normal, 1 read-only, 2 password
  uint16_t password_char = 42;
  uint32_t case_conversion = 0;  // 0 none, 1 lower, 2 upper
  uint32_t spin = 0;             // 0 none, otherwise an attached up-down control
  int32_t spin_minimum = 0;
  int32_t spin_maximum = 100;
  uint32_t selection_start = 0;
  uint32_t selection_length = 0;
  StoredFont font;      // blob32
  std::string content;  // text32
  std::string text_a;   // text32 (version >= 2)
  std::string text_b;   // text32 (version >= 2)
  friend bool operator==(const EditBoxBlock&, const EditBoxBlock&) = default;
};

// Button, version 1.
struct ButtonBlock {
  uint32_t version = 1;
  uint32_t type = 0;    // 0 normal, 1 default button
  uint32_t halign = 1;  // 0 left, 1 centre, 2 right
  uint32_t valign = 1;  // 0 top, 1 centre, 2 bottom
  std::string picture;  // blob32
  StoredFont font;      // blob32
  std::string caption;  // text32
  friend bool operator==(const ButtonBlock&, const ButtonBlock&) = default;
};

// ComboBox, version 3.
struct ComboBoxBlock {
  uint32_t version = 3;
  uint32_t style = 1;  // 0 simple, 1 drop-down with edit field, 2 drop-down list
  uint32_t max_length = 0;
  uint32_t selection_start = 0;
  uint32_t selection_length = 0;
  uint32_t sorted = 0;
  uint32_t extra_item_height = 1;
  uint32_t text_colour = 0;
  uint32_t background = 0xFFFFFF;
  int32_t current_index = -1;
  StoredFont font;                  // blob32
  std::vector<uint32_t> item_data;  // blob32 of one u32 per item
  std::string content;              // text32
  std::vector<std::string> items;   // u16 count, then count × text32
  std::string text_a;               // text32
  std::string text_b;               // text32
  uint32_t word_v3 = 0;             // version 3 only
  friend bool operator==(const ComboBoxBlock&, const ComboBoxBlock&) = default;
};

// Label, version 2.
struct LabelBlock {
  uint32_t version = 2;
  uint32_t words[16] = {0, 8, 0,        0x808080, 0xFFFFFF, 0x808080, 0, 0xFF000000,
                        1, 0, 0x808080, 0xFFFFFF, 0x808080, 0,        1, 0};
  std::string blob_a;  // blob32
  std::string blob_b;  // blob32
  std::string text;    // text32; lines separated by CR LF
  std::string text_a;  // text32
  std::string text_b;  // text32
  friend bool operator==(const LabelBlock&, const LabelBlock&) = default;
};

// TransLabel, version 1.
struct TransLabelBlock {
  uint32_t version = 1;
  uint32_t words[5] = {0, 0, 0, 1, 0};
  StoredFont font;   // blob32
  std::string text;  // text32
  friend bool operator==(const TransLabelBlock&, const TransLabelBlock&) = default;
};

// HtmlViewer, version 1.
struct HtmlViewerBlock {
  uint32_t version = 1;
  uint32_t words[3] = {2, 0, 1};
  std::string address;  // text32
  friend bool operator==(const HtmlViewerBlock&, const HtmlViewerBlock&) = default;
};

// Grid (the data-bound grid), version 1. The words named below are the ones the grid reads; the
// others are kept as stored.
struct GridBlock {
  enum Word : int {
    kBackgroundWord = 1,
    kScaleWord = 2,             // the display scale in percent
    kRangeSelectionWord = 3,    // 1: range selection allowed
    kHeadingSelectionWord = 4,  // 1 (with range selection): heading selection allowed
    kWordCount = 9,
  };
  uint32_t version = 1;
  uint32_t words[kWordCount] = {0, 0xFFFFFF, 100, 1, 1, 1, 0, 0, 1};
  std::string data_source;  // text32: name of the bound DataSrc unit
  friend bool operator==(const GridBlock&, const GridBlock&) = default;
};

// DataSrc, version 1.
struct DataSrcBlock {
  enum Word : int {  // logical switches, non-zero for on
    kReadOnlyWord = 0,
    kInsertAllowedWord = 1,
    kDeleteAllowedWord = 2,
    kWordCount = 3,
  };
  uint32_t version = 1;
  uint32_t words[kWordCount] = {0, 1, 1};
  std::string provider;  // text32: name of its DBProvider unit
  friend bool operator==(const DataSrcBlock&, const DataSrcBlock&) = default;
};

// DBProvider, version 2.
struct DBProviderBlock {
  uint32_t version = 2;
  uint32_t word = 0;
  std::string file_name;  // text32
  uint32_t word_after = 0;
  friend bool operator==(const DBProviderBlock&, const DBProviderBlock&) = default;
};

// The selection colour word's value for "the platform's highlight colour", the grid's default.
// Its top bit is clear (a set top bit announces the block's extension) and its high byte is not
// 0, so it is no 0x00BBGGRR colour either.
constexpr uint32_t kSystemHighlightColour = 0x7F000000u;

// EGrid (the advanced grid), version 12: 28 words after the version, and when the selection
// colour word has its top bit set an extension of three words. Words by index (0-based):
//   0 grid line colour, 1 background, 7 default row height, 8 default column width,
//   9 row count, 10 column count, 12 fixed rows, 13 fixed columns, 17 a colour,
//   23 selection colour (kEGridSelectionWord); the others are flags and modes kept as stored.
// Minimum versions: words 0-13 every version, 14 v2, 15 v3, 16 v4, 17 v5, 18-19 v6, 20 v7,
// 21-23 v8, 24 v9, 25 v10, 26 v11, 27 v12; a word its version lacks keeps its default.
// has_extension mirrors the top bit of the selection colour word (as read, and as the writer
// decides: it writes the extension exactly when that bit is set).
constexpr int kEGridSelectionWord = 23;
struct EGridBlock {
  uint32_t version = 12;
  uint32_t words[28] = {0xC0C0C0, 0xFFFFFF,   0, 0, 3, 1, 1, 24,
                        60,       5,          5, 1, 1, 1, 1, 0,
                        1,        0xFF000000, 0, 0, 0, 1, 0, kSystemHighlightColour,
                        1,        0,          0, 1};
  bool has_extension = false;
  uint32_t extension_format = 0;  // must be 0 or 1
  uint32_t extension_word = 0xFFFFFF;
  uint32_t extension_border = 1;  // 1 sunken client edge ... 5 thin border, other values none

  // The selection colour as 0x00BBGGRR, or kSystemHighlightColour.
  uint32_t SelectionColour() const {
    uint32_t word = words[kEGridSelectionWord];
    return (word & 0x80000000u) != 0 ? (word & 0x00FFFFFFu) : word;
  }
  friend bool operator==(const EGridBlock&, const EGridBlock&) = default;
};

BlockStatus ReadWindowBlock(std::string_view bytes, WindowBlock* out);
BlockStatus ReadEditBoxBlock(std::string_view bytes, EditBoxBlock* out);
BlockStatus ReadButtonBlock(std::string_view bytes, ButtonBlock* out);
BlockStatus ReadComboBoxBlock(std::string_view bytes, ComboBoxBlock* out);
BlockStatus ReadLabelBlock(std::string_view bytes, LabelBlock* out);
BlockStatus ReadTransLabelBlock(std::string_view bytes, TransLabelBlock* out);
BlockStatus ReadHtmlViewerBlock(std::string_view bytes, HtmlViewerBlock* out);
BlockStatus ReadGridBlock(std::string_view bytes, GridBlock* out);
BlockStatus ReadDataSrcBlock(std::string_view bytes, DataSrcBlock* out);
BlockStatus ReadDBProviderBlock(std::string_view bytes, DBProviderBlock* out);
BlockStatus ReadEGridBlock(std::string_view bytes, EGridBlock* out);

std::string WriteWindowBlock(const WindowBlock& block);
std::string WriteEditBoxBlock(const EditBoxBlock& block);
std::string WriteButtonBlock(const ButtonBlock& block);
std::string WriteComboBoxBlock(const ComboBoxBlock& block);
std::string WriteLabelBlock(const LabelBlock& block);
std::string WriteTransLabelBlock(const TransLabelBlock& block);
std::string WriteHtmlViewerBlock(const HtmlViewerBlock& block);
std::string WriteGridBlock(const GridBlock& block);
std::string WriteDataSrcBlock(const DataSrcBlock& block);
std::string WriteDBProviderBlock(const DBProviderBlock& block);
std::string WriteEGridBlock(const EGridBlock& block);

}  // namespace memo::ui
