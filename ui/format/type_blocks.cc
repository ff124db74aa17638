// Reading and writing the type blocks of the unit records.
//
// Every reader follows the same steps: an empty block is the defaults; the version word comes
// first and a newer version stops there; the fields are read into a copy that starts from the
// defaults, each only when the block's version has it; the copy reaches the caller only when every
// read stayed inside the block.
#include "ui/format/type_blocks.h"

#include <algorithm>
#include <cstring>

#include "ui/format/byte_cursor.h"

namespace memo::ui {

namespace {

constexpr uint32_t kWindowVersion = 6;
constexpr uint32_t kEditBoxVersion = 2;
constexpr uint32_t kButtonVersion = 1;
constexpr uint32_t kComboBoxVersion = 3;
constexpr uint32_t kLabelVersion = 2;
constexpr uint32_t kTransLabelVersion = 1;
constexpr uint32_t kHtmlViewerVersion = 1;
constexpr uint32_t kGridVersion = 1;
constexpr uint32_t kDataSrcVersion = 1;
constexpr uint32_t kDBProviderVersion = 2;
constexpr uint32_t kEGridVersion = 12;

constexpr size_t kFaceBytes = 32;
constexpr size_t kMaxFaceLength = kFaceBytes - 1;  // the last byte is the terminator

// The minimum version of each of the advanced grid's 28 words.
constexpr uint32_t kEGridWordVersion[28] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  1,  1,
                                            2, 3, 4, 5, 6, 6, 7, 8, 8, 8, 9, 10, 11, 12};
constexpr uint32_t kExtensionBit = 0x80000000u;
constexpr uint32_t kMaxExtensionFormat = 1;

// The start every reader shares. kOk with *empty set: the block is empty, use the defaults.
// kOk otherwise: *version read, the fields follow in `r`.
BlockStatus Begin(ByteReader& r, uint32_t current, uint32_t* version, bool* empty) {
  *empty = r.remaining() == 0;
  if (*empty) return BlockStatus::kOk;
  if (!r.U32(version)) return BlockStatus::kTruncated;
  if (*version > current) return BlockStatus::kNewerVersion;
  return BlockStatus::kOk;
}

// Runs the reader `read_fields(r, block)` over `bytes` for a block type with version `current`.
template <typename Block, typename ReadFields>
BlockStatus ReadBlock(std::string_view bytes, uint32_t current, Block* out,
                      ReadFields read_fields) {
  ByteReader r(bytes);
  Block block;
  bool empty = false;
  BlockStatus status = Begin(r, current, &block.version, &empty);
  if (status != BlockStatus::kOk) return status;
  if (!empty) {
    status = read_fields(r, block);
    if (status == BlockStatus::kOk && !r.ok()) status = BlockStatus::kTruncated;
    if (status != BlockStatus::kOk) return status;
  }
  *out = std::move(block);
  return BlockStatus::kOk;
}

void ReadFont(ByteReader& r, StoredFont* font) {
  std::string bytes;
  if (!r.Counted(&bytes)) return;
  LogFont log;
  font->present = ReadLogFont(bytes, &log);
  font->font = font->present ? std::move(log) : LogFont{};
}

void PutFont(std::string* out, const StoredFont& font) {
  PutCounted(out, font.present ? WriteLogFont(font.font) : std::string());
}

void ReadWords(ByteReader& r, uint32_t* words, size_t count) {
  for (size_t i = 0; i < count; ++i) r.U32(&words[i]);
}
void PutWords(std::string* out, const uint32_t* words, size_t count) {
  for (size_t i = 0; i < count; ++i) PutU32(out, words[i]);
}

}  // namespace

// --- LOGFONT -----------------------------------------------------------------------------------

bool ReadLogFont(std::string_view bytes, LogFont* out) {
  if (bytes.size() != kLogFontBytes) return false;
  ByteReader r(bytes);
  LogFont font;
  r.I32(&font.height);
  r.I32(&font.width);
  r.I32(&font.escapement);
  r.I32(&font.orientation);
  r.I32(&font.weight);
  uint8_t* bytes8[] = {&font.italic,  &font.underline,       &font.strike_out,
                       &font.charset, &font.out_precision,   &font.clip_precision,
                       &font.quality, &font.pitch_and_family};
  std::string small;
  r.Bytes(8, &small);
  for (size_t i = 0; i < 8; ++i) *bytes8[i] = static_cast<uint8_t>(small[i]);
  std::string face;
  r.Bytes(kFaceBytes, &face);
  face.resize(std::min(face.find('\0'), kMaxFaceLength));
  font.face = std::move(face);
  *out = std::move(font);
  return true;
}

std::string WriteLogFont(const LogFont& font) {
  std::string out;
  out.reserve(kLogFontBytes);
  PutI32(&out, font.height);
  PutI32(&out, font.width);
  PutI32(&out, font.escapement);
  PutI32(&out, font.orientation);
  PutI32(&out, font.weight);
  for (uint8_t byte :
       {font.italic, font.underline, font.strike_out, font.charset, font.out_precision,
        font.clip_precision, font.quality, font.pitch_and_family}) {
    out.push_back(static_cast<char>(byte));
  }
  std::string_view face = font.face;
  face = face.substr(0, std::min(face.find('\0'), kMaxFaceLength));
  out.append(face);
  PutZeros(&out, kFaceBytes - face.size());
  return out;
}

platform::FontSpec LogFont::ToFontSpec() const {
  platform::FontSpec spec;
  spec.height = height;
  spec.weight = weight;
  spec.italic = italic != 0;
  spec.underline = underline != 0;
  spec.strike_out = strike_out != 0;
  spec.escapement = escapement;
  spec.face_gbk = face;
  return spec;
}

// --- Window --------------------------------------------------------------------------------------

BlockStatus ReadWindowBlock(std::string_view bytes, WindowBlock* out) {
  return ReadBlock(bytes, kWindowVersion, out, [](ByteReader& r, WindowBlock& b) {
    for (uint32_t* word :
         {&b.border, &b.picture_mode, &b.background, &b.maximize_button, &b.minimize_button,
          &b.control_box, &b.start_position, &b.movable, &b.sound_mode, &b.enter_moves_focus,
          &b.esc_closes, &b.f1_opens_help, &b.help_topic}) {
      r.U32(word);
    }
    if (b.version >= 2) r.U32(&b.show_in_taskbar);
    if (b.version >= 3) {
      r.U32(&b.drag_anywhere);
      r.U32(&b.word17);
    }
    if (b.version >= 4) r.U32(&b.always_on_top);
    if (b.version >= 5) r.U32(&b.word19);
    if (b.version >= 6) r.Counted(&b.text20);
    r.Counted(&b.picture);
    r.Counted(&b.icon);
    r.Counted(&b.sound);
    r.Counted(&b.caption);
    r.Counted(&b.help_file);
    return BlockStatus::kOk;
  });
}

std::string WriteWindowBlock(const WindowBlock& b) {
  std::string out;
  PutU32(&out, kWindowVersion);
  for (uint32_t word : {b.border, b.picture_mode, b.background, b.maximize_button,
                        b.minimize_button, b.control_box, b.start_position, b.movable, b.sound_mode,
                        b.enter_moves_focus, b.esc_closes, b.f1_opens_help, b.help_topic,
                        b.show_in_taskbar, b.drag_anywhere, b.word17, b.always_on_top, b.word19}) {
    PutU32(&out, word);
  }
  for (const std::string* text :
       {&b.text20, &b.picture, &b.icon, &b.sound, &b.caption, &b.help_file}) {
    PutCounted(&out, *text);
  }
  return out;
}

// --- EditBox -------------------------------------------------------------------------------------

BlockStatus ReadEditBoxBlock(std::string_view bytes, EditBoxBlock* out) {
  return ReadBlock(bytes, kEditBoxVersion, out, [](ByteReader& r, EditBoxBlock& b) {
    for (uint32_t* word :
         {&b.border, &b.text_colour, &b.background, &b.hide_selection, &b.max_length, &b.multi_line,
          &b.scroll_bars, &b.alignment, &b.input_mode}) {
      r.U32(word);
    }
    r.U16(&b.password_char);
    r.U32(&b.case_conversion);
    r.U32(&b.spin);
    r.I32(&b.spin_minimum);
    r.I32(&b.spin_maximum);
    r.U32(&b.selection_start);
    r.U32(&b.selection_length);
    ReadFont(r, &b.font);
    r.Counted(&b.content);
    if (b.version >= 2) {
      r.Counted(&b.text_a);
      r.Counted(&b.text_b);
    }
    return BlockStatus::kOk;
  });
}

std::string WriteEditBoxBlock(const EditBoxBlock& b) {
  std::string out;
  PutU32(&out, kEditBoxVersion);
  for (uint32_t word : {b.border, b.text_colour, b.background, b.hide_selection, b.max_length,
                        b.multi_line, b.scroll_bars, b.alignment, b.input_mode}) {
    PutU32(&out, word);
  }
  PutU16(&out, b.password_char);
  PutU32(&out, b.case_conversion);
  PutU32(&out, b.spin);
  PutI32(&out, b.spin_minimum);
  PutI32(&out, b.spin_maximum);
  PutU32(&out, b.selection_start);
  PutU32(&out, b.selection_length);
  PutFont(&out, b.font);
  PutCounted(&out, b.content);
  PutCounted(&out, b.text_a);
  PutCounted(&out, b.text_b);
  return out;
}

// --- Button --------------------------------------------------------------------------------------

BlockStatus ReadButtonBlock(std::string_view bytes, ButtonBlock* out) {
  return ReadBlock(bytes, kButtonVersion, out, [](ByteReader& r, ButtonBlock& b) {
    r.U32(&b.type);
    r.U32(&b.halign);
    r.U32(&b.valign);
    r.Counted(&b.picture);
    ReadFont(r, &b.font);
    r.Counted(&b.caption);
    return BlockStatus::kOk;
  });
}

std::string WriteButtonBlock(const ButtonBlock& b) {
  std::string out;
  PutU32(&out, kButtonVersion);
  PutU32(&out, b.type);
  PutU32(&out, b.halign);
  PutU32(&out, b.valign);
  PutCounted(&out, b.picture);
  PutFont(&out, b.font);
  PutCounted(&out, b.caption);
  return out;
}

// --- ComboBox ------------------------------------------------------------------------------------

BlockStatus ReadComboBoxBlock(std::string_view bytes, ComboBoxBlock* out) {
  return ReadBlock(bytes, kComboBoxVersion, out, [](ByteReader& r, ComboBoxBlock& b) {
    for (uint32_t* word : {&b.style, &b.max_length, &b.selection_start, &b.selection_length,
                           &b.sorted, &b.extra_item_height, &b.text_colour, &b.background}) {
      r.U32(word);
    }
    r.I32(&b.current_index);
    ReadFont(r, &b.font);
    // Item data: whole u32 words; a trailing partial word carries nothing.
    std::string data;
    if (r.Counted(&data)) {
      ByteReader words(data);
      b.item_data.resize(data.size() / 4);
      for (uint32_t& word : b.item_data) words.U32(&word);
    }
    r.Counted(&b.content);
    uint16_t item_count = 0;
    if (r.U16(&item_count)) {
      // Each item needs at least its 4-byte count: bound the list by the bytes left.
      if (item_count > r.remaining() / 4) return BlockStatus::kTruncated;
      b.items.resize(item_count);
      for (std::string& item : b.items) r.Counted(&item);
    }
    r.Counted(&b.text_a);
    r.Counted(&b.text_b);
    if (b.version >= 3) r.U32(&b.word_v3);
    return BlockStatus::kOk;
  });
}

std::string WriteComboBoxBlock(const ComboBoxBlock& b) {
  std::string out;
  PutU32(&out, kComboBoxVersion);
  for (uint32_t word : {b.style, b.max_length, b.selection_start, b.selection_length, b.sorted,
                        b.extra_item_height, b.text_colour, b.background}) {
    PutU32(&out, word);
  }
  PutI32(&out, b.current_index);
  PutFont(&out, b.font);
  std::string data;
  for (uint32_t word : b.item_data) PutU32(&data, word);
  PutCounted(&out, data);
  PutCounted(&out, b.content);
  // The stored count is 16 bits wide: a longer list keeps its first 65535 items.
  size_t count = std::min<size_t>(b.items.size(), 0xFFFF);
  PutU16(&out, static_cast<uint16_t>(count));
  for (size_t i = 0; i < count; ++i) PutCounted(&out, b.items[i]);
  PutCounted(&out, b.text_a);
  PutCounted(&out, b.text_b);
  PutU32(&out, b.word_v3);
  return out;
}

// --- Label ---------------------------------------------------------------------------------------

BlockStatus ReadLabelBlock(std::string_view bytes, LabelBlock* out) {
  return ReadBlock(bytes, kLabelVersion, out, [](ByteReader& r, LabelBlock& b) {
    ReadWords(r, b.words, std::size(b.words));
    for (std::string* text : {&b.blob_a, &b.blob_b, &b.text, &b.text_a, &b.text_b}) {
      r.Counted(text);
    }
    return BlockStatus::kOk;
  });
}

std::string WriteLabelBlock(const LabelBlock& b) {
  std::string out;
  PutU32(&out, kLabelVersion);
  PutWords(&out, b.words, std::size(b.words));
  for (const std::string* text : {&b.blob_a, &b.blob_b, &b.text, &b.text_a, &b.text_b}) {
    PutCounted(&out, *text);
  }
  return out;
}

// --- TransLabel ----------------------------------------------------------------------------------

BlockStatus ReadTransLabelBlock(std::string_view bytes, TransLabelBlock* out) {
  return ReadBlock(bytes, kTransLabelVersion, out, [](ByteReader& r, TransLabelBlock& b) {
    ReadWords(r, b.words, std::size(b.words));
    ReadFont(r, &b.font);
    r.Counted(&b.text);
    return BlockStatus::kOk;
  });
}

std::string WriteTransLabelBlock(const TransLabelBlock& b) {
  std::string out;
  PutU32(&out, kTransLabelVersion);
  PutWords(&out, b.words, std::size(b.words));
  PutFont(&out, b.font);
  PutCounted(&out, b.text);
  return out;
}

// --- HtmlViewer ----------------------------------------------------------------------------------

BlockStatus ReadHtmlViewerBlock(std::string_view bytes, HtmlViewerBlock* out) {
  return ReadBlock(bytes, kHtmlViewerVersion, out, [](ByteReader& r, HtmlViewerBlock& b) {
    ReadWords(r, b.words, std::size(b.words));
    r.Counted(&b.address);
    return BlockStatus::kOk;
  });
}

std::string WriteHtmlViewerBlock(const HtmlViewerBlock& b) {
  std::string out;
  PutU32(&out, kHtmlViewerVersion);
  PutWords(&out, b.words, std::size(b.words));
  PutCounted(&out, b.address);
  return out;
}

// --- Grid, DataSrc, DBProvider -------------------------------------------------------------------

BlockStatus ReadGridBlock(std::string_view bytes, GridBlock* out) {
  return ReadBlock(bytes, kGridVersion, out, [](ByteReader& r, GridBlock& b) {
    ReadWords(r, b.words, std::size(b.words));
    r.Counted(&b.data_source);
    return BlockStatus::kOk;
  });
}

std::string WriteGridBlock(const GridBlock& b) {
  std::string out;
  PutU32(&out, kGridVersion);
  PutWords(&out, b.words, std::size(b.words));
  PutCounted(&out, b.data_source);
  return out;
}

BlockStatus ReadDataSrcBlock(std::string_view bytes, DataSrcBlock* out) {
  return ReadBlock(bytes, kDataSrcVersion, out, [](ByteReader& r, DataSrcBlock& b) {
    ReadWords(r, b.words, std::size(b.words));
    r.Counted(&b.provider);
    return BlockStatus::kOk;
  });
}

std::string WriteDataSrcBlock(const DataSrcBlock& b) {
  std::string out;
  PutU32(&out, kDataSrcVersion);
  PutWords(&out, b.words, std::size(b.words));
  PutCounted(&out, b.provider);
  return out;
}

BlockStatus ReadDBProviderBlock(std::string_view bytes, DBProviderBlock* out) {
  return ReadBlock(bytes, kDBProviderVersion, out, [](ByteReader& r, DBProviderBlock& b) {
    r.U32(&b.word);
    r.Counted(&b.file_name);
    r.U32(&b.word_after);
    return BlockStatus::kOk;
  });
}

std::string WriteDBProviderBlock(const DBProviderBlock& b) {
  std::string out;
  PutU32(&out, kDBProviderVersion);
  PutU32(&out, b.word);
  PutCounted(&out, b.file_name);
  PutU32(&out, b.word_after);
  return out;
}

// --- EGrid ---------------------------------------------------------------------------------------

BlockStatus ReadEGridBlock(std::string_view bytes, EGridBlock* out) {
  return ReadBlock(bytes, kEGridVersion, out, [](ByteReader& r, EGridBlock& b) {
    for (size_t i = 0; i < std::size(b.words); ++i) {
      if (b.version >= kEGridWordVersion[i]) r.U32(&b.words[i]);
    }
    // The extension follows only a selection colour word the block's version has.
    b.has_extension = b.version >= kEGridWordVersion[kEGridSelectionWord] &&
                      (b.words[kEGridSelectionWord] & kExtensionBit) != 0;
    if (b.has_extension) {
      r.U32(&b.extension_format);
      r.U32(&b.extension_word);
      r.U32(&b.extension_border);
      if (r.ok() && b.extension_format > kMaxExtensionFormat) return BlockStatus::kBadValue;
    }
    return BlockStatus::kOk;
  });
}

std::string WriteEGridBlock(const EGridBlock& b) {
  std::string out;
  PutU32(&out, kEGridVersion);
  PutWords(&out, b.words, std::size(b.words));
  if ((b.words[kEGridSelectionWord] & kExtensionBit) != 0) {
    PutU32(&out, b.extension_format);
    PutU32(&out, b.extension_word);
    PutU32(&out, b.extension_border);
  }
  return out;
}

}  // namespace memo::ui
