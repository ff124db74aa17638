// The type blocks: defaults of an empty block, version rules, truncation at every byte, round
// trips, the fields lower versions omit, the advanced grid's extension, and LOGFONT.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "ui/format/byte_cursor.h"
#include "ui/format/type_blocks.h"

namespace memo::ui {
namespace {

LogFont SampleFont() {
  LogFont font;
  font.height = -12;
  font.width = 0;
  font.escapement = 900;
  font.orientation = 900;
  font.weight = 700;
  font.italic = 1;
  font.underline = 0;
  font.strike_out = 1;
  font.charset = 134;
  font.out_precision = 3;
  font.clip_precision = 2;
  font.quality = 1;
  font.pitch_and_family = 0x31;
  font.face = "\xCB\xCE\xCC\xE5";  // 宋体
  return font;
}

StoredFont SampleStoredFont() { return StoredFont{true, SampleFont()}; }

// Every proper prefix of a block (except the empty one, which is the defaults) is truncated and
// leaves the output as it was.
template <typename Block>
void ExpectEveryPrefixTruncated(const std::string& bytes,
                                BlockStatus (*read)(std::string_view, Block*)) {
  Block untouched;
  for (size_t n = 1; n < bytes.size(); ++n) {
    Block out = untouched;
    ASSERT_EQ(read(std::string_view(bytes).substr(0, n), &out), BlockStatus::kTruncated)
        << "prefix of " << n << " of " << bytes.size() << " bytes";
    ASSERT_EQ(out, untouched) << "prefix " << n;
  }
}

// A newer version is refused whatever follows, and leaves the output as it was.
template <typename Block>
void ExpectNewerVersionRefused(uint32_t current, const std::string& bytes,
                               BlockStatus (*read)(std::string_view, Block*)) {
  std::string newer = bytes;
  newer[0] = static_cast<char>(current + 1);
  Block out;
  Block before = out;
  EXPECT_EQ(read(newer, &out), BlockStatus::kNewerVersion);
  EXPECT_EQ(out, before);
  newer[3] = static_cast<char>(0x80);  // a huge version word
  EXPECT_EQ(read(newer, &out), BlockStatus::kNewerVersion);
  EXPECT_EQ(read(std::string_view(newer).substr(0, 4), &out), BlockStatus::kNewerVersion);
}

// Read(Write(x)) == x, and trailing bytes after the last field change nothing.
template <typename Block>
void ExpectRoundTrip(const Block& block, std::string (*write)(const Block&),
                     BlockStatus (*read)(std::string_view, Block*)) {
  std::string bytes = write(block);
  Block out;
  ASSERT_EQ(read(bytes, &out), BlockStatus::kOk);
  EXPECT_EQ(out, block);
  Block with_tail;
  ASSERT_EQ(read(bytes + std::string("\x01\x02\x03", 3), &with_tail), BlockStatus::kOk);
  EXPECT_EQ(with_tail, block);
}

template <typename Block>
void ExpectCommonRules(uint32_t current, const Block& sample, std::string (*write)(const Block&),
                       BlockStatus (*read)(std::string_view, Block*)) {
  // An empty block is the defaults, over whatever the output held.
  Block defaults_out = sample;
  EXPECT_EQ(read("", &defaults_out), BlockStatus::kOk);
  EXPECT_EQ(defaults_out, Block{});
  const std::string bytes = write(sample);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes[0], static_cast<char>(current));
  ExpectRoundTrip(sample, write, read);
  ExpectRoundTrip(Block{}, write, read);
  ExpectNewerVersionRefused(current, bytes, read);
  ExpectEveryPrefixTruncated(bytes, read);
}

// --- Window --------------------------------------------------------------------------------------

WindowBlock SampleWindow() {
  WindowBlock b;
  b.border = 1;
  b.picture_mode = 3;
  b.background = 0x00112233;
  b.maximize_button = 1;
  b.minimize_button = 1;
  b.control_box = 0;
  b.start_position = 3;
  b.movable = 0;
  b.sound_mode = 2;
  b.enter_moves_focus = 1;
  b.esc_closes = 0;
  b.f1_opens_help = 1;
  b.help_topic = 77;
  b.show_in_taskbar = 0;
  b.drag_anywhere = 1;
  b.word17 = 9;
  b.always_on_top = 1;
  b.word19 = 11;
  b.text20 = "t";
  b.picture = std::string("BM\0\1", 4);
  b.icon = "ico";
  b.sound = "RIFF";
  b.caption = "\xB5\xC7\xC2\xBD";  // 登陆
  b.help_file = "memo.hlp";
  return b;
}

TEST(WindowBlockTest, EmptyBlockGivesTheProgramWindowDefaults) {
  WindowBlock b;
  ASSERT_EQ(ReadWindowBlock("", &b), BlockStatus::kOk);
  EXPECT_EQ(b.border, 2u);
  EXPECT_EQ(b.picture_mode, 1u);
  EXPECT_EQ(b.background, kDefaultColour);
  EXPECT_EQ(b.maximize_button, 0u);
  EXPECT_EQ(b.minimize_button, 0u);
  EXPECT_EQ(b.control_box, 1u);
  EXPECT_EQ(b.start_position, 1u);
  EXPECT_EQ(b.movable, 1u);
  EXPECT_EQ(b.esc_closes, 1u);
  EXPECT_EQ(b.show_in_taskbar, 1u);
  EXPECT_EQ(b.always_on_top, 0u);
  EXPECT_TRUE(b.caption.empty());
}

TEST(WindowBlockTest, VersionRulesTruncationAndRoundTrip) {
  ExpectCommonRules(6, SampleWindow(), WriteWindowBlock, ReadWindowBlock);
}

// A block of `version` with the 13 words every version has (value 100 + i), the words of the
// higher minimum versions it has (200 + i), then the texts.
std::string WindowBlockOfVersion(uint32_t version) {
  std::string out;
  PutU32(&out, version);
  for (uint32_t i = 0; i < 13; ++i) PutU32(&out, 100 + i);
  if (version >= 2) PutU32(&out, 201);
  if (version >= 3) PutU32(&out, 202), PutU32(&out, 203);
  if (version >= 4) PutU32(&out, 204);
  if (version >= 5) PutU32(&out, 205);
  if (version >= 6) PutCounted(&out, "v6");
  PutCounted(&out, "pic");
  PutCounted(&out, "ico");
  PutCounted(&out, "wav");
  PutCounted(&out, "caption");
  PutCounted(&out, "help");
  return out;
}

TEST(WindowBlockTest, LowerVersionsOmitTheLaterFieldsWhichKeepTheirDefaults) {
  for (uint32_t version = 0; version <= 6; ++version) {
    SCOPED_TRACE(version);
    const std::string bytes = WindowBlockOfVersion(version);
    WindowBlock b;
    ASSERT_EQ(ReadWindowBlock(bytes, &b), BlockStatus::kOk);
    EXPECT_EQ(b.version, version);
    EXPECT_EQ(b.border, 100u);
    EXPECT_EQ(b.help_topic, 112u);
    EXPECT_EQ(b.show_in_taskbar, version >= 2 ? 201u : 1u);
    EXPECT_EQ(b.drag_anywhere, version >= 3 ? 202u : 0u);
    EXPECT_EQ(b.word17, version >= 3 ? 203u : 0u);
    EXPECT_EQ(b.always_on_top, version >= 4 ? 204u : 0u);
    EXPECT_EQ(b.word19, version >= 5 ? 205u : 0u);
    EXPECT_EQ(b.text20, version >= 6 ? "v6" : "");
    // The texts after the versioned fields are found in their place.
    EXPECT_EQ(b.picture, "pic");
    EXPECT_EQ(b.sound, "wav");
    EXPECT_EQ(b.caption, "caption");
    EXPECT_EQ(b.help_file, "help");
    ExpectEveryPrefixTruncated(bytes, ReadWindowBlock);
  }
}

TEST(WindowBlockTest, ATextCountPastTheEndIsTruncatedNotRead) {
  std::string bytes = WriteWindowBlock(WindowBlock{});
  // The last field is the help file's text32: claim 0xFFFFFFF0 bytes.
  bytes.replace(bytes.size() - 4, 4, "\xF0\xFF\xFF\xFF");
  WindowBlock b;
  EXPECT_EQ(ReadWindowBlock(bytes, &b), BlockStatus::kTruncated);
}

// --- EditBox -------------------------------------------------------------------------------------

EditBoxBlock SampleEditBox() {
  EditBoxBlock b;
  b.border = 5;
  b.text_colour = 0x0000FF;
  b.background = 0x00EEEEEE;
  b.hide_selection = 0;
  b.max_length = 20;
  b.multi_line = 1;
  b.scroll_bars = 3;
  b.alignment = 2;
  b.input_mode = 2;
  b.password_char = 0x2323;
  b.case_conversion = 2;
  b.spin = 1;
  b.spin_minimum = -5;
  b.spin_maximum = 500;
  b.selection_start = 1;
  b.selection_length = 3;
  b.font = SampleStoredFont();
  b.content = "\xB8\xFA\xBD\xF8";  // 跟进
  b.text_a = "a";
  b.text_b = "bb";
  return b;
}

TEST(EditBoxBlockTest, EmptyBlockIsASingleLineBoxWithBorderOneAndNoLimit) {
  EditBoxBlock b;
  b.border = 9;
  ASSERT_EQ(ReadEditBoxBlock("", &b), BlockStatus::kOk);
  EXPECT_EQ(b.border, 1u);
  EXPECT_EQ(b.multi_line, 0u);
  EXPECT_EQ(b.background, 0xFFFFFFu);
  EXPECT_EQ(b.max_length, 0u);
  EXPECT_EQ(b.hide_selection, 1u);
  EXPECT_EQ(b.password_char, 42);
  EXPECT_EQ(b.spin_maximum, 100);
  EXPECT_FALSE(b.font.present);
}

TEST(EditBoxBlockTest, VersionRulesTruncationAndRoundTrip) {
  ExpectCommonRules(2, SampleEditBox(), WriteEditBoxBlock, ReadEditBoxBlock);
}

TEST(EditBoxBlockTest, StoredFormIsEightyTwoBytesPlusTheTexts) {
  EXPECT_EQ(WriteEditBoxBlock(EditBoxBlock{}).size(), 82u);
  EditBoxBlock b;
  b.content = "xyz";
  b.font = SampleStoredFont();
  EXPECT_EQ(WriteEditBoxBlock(b).size(), 82u + 3 + kLogFontBytes);
  // The password character is a 16-bit field at byte 40, the case conversion after it.
  b.password_char = 0x1234;
  b.case_conversion = 7;
  std::string bytes = WriteEditBoxBlock(b);
  EXPECT_EQ(bytes.substr(40, 2), "\x34\x12");
  EXPECT_EQ(bytes.substr(42, 4), std::string("\x07\0\0\0", 4));
}

TEST(EditBoxBlockTest, VersionOneHasNoTrailingTexts) {
  EditBoxBlock sample = SampleEditBox();
  std::string bytes = WriteEditBoxBlock(sample);
  bytes[0] = 1;
  bytes.resize(bytes.size() - (4 + 1) - (4 + 2));  // drop text_a and text_b
  EditBoxBlock b;
  ASSERT_EQ(ReadEditBoxBlock(bytes, &b), BlockStatus::kOk);
  EXPECT_EQ(b.version, 1u);
  EXPECT_EQ(b.content, sample.content);
  EXPECT_TRUE(b.text_a.empty());
  EXPECT_TRUE(b.text_b.empty());
  ExpectEveryPrefixTruncated(bytes, ReadEditBoxBlock);
}

TEST(EditBoxBlockTest, AFontBlobThatIsNoLogFontIsTheDefaultFontNotAFailure) {
  for (size_t length : {1u, 59u, 61u, 120u}) {
    SCOPED_TRACE(length);
    EditBoxBlock sample;
    sample.content = "after";
    std::string bytes = WriteEditBoxBlock(sample);
    // Replace the empty font blob (at byte 66) with one of `length` bytes.
    std::string blob;
    PutCounted(&blob, std::string(length, 'f'));
    bytes.replace(66, 4, blob);
    EditBoxBlock b;
    ASSERT_EQ(ReadEditBoxBlock(bytes, &b), BlockStatus::kOk);
    EXPECT_FALSE(b.font.present);
    EXPECT_EQ(b.content, "after");
  }
}

// --- Button --------------------------------------------------------------------------------------

TEST(ButtonBlockTest, DefaultsVersionRulesTruncationAndRoundTrip) {
  ButtonBlock defaults;
  ASSERT_EQ(ReadButtonBlock("", &defaults), BlockStatus::kOk);
  EXPECT_EQ(defaults.type, 0u);
  EXPECT_EQ(defaults.halign, 1u);
  EXPECT_EQ(defaults.valign, 1u);
  ButtonBlock b;
  b.type = 1;
  b.halign = 2;
  b.valign = 0;
  b.picture = std::string("\0\1\2", 3);
  b.font = SampleStoredFont();
  b.caption = "\xB9\xD8\xB1\xD5";  // 关闭
  ExpectCommonRules(1, b, WriteButtonBlock, ReadButtonBlock);
}

// --- ComboBox ------------------------------------------------------------------------------------

ComboBoxBlock SampleComboBox() {
  ComboBoxBlock b;
  b.style = 2;
  b.max_length = 8;
  b.selection_start = 1;
  b.selection_length = 2;
  b.sorted = 1;
  b.extra_item_height = 4;
  b.text_colour = 0x123456;
  b.background = 0x654321;
  b.current_index = 1;
  b.font = SampleStoredFont();
  b.item_data = {7, 0xFFFFFFFFu};
  b.content = "c";
  b.items = {"\xD7\xCA\xBD\xF0", ""};
  b.text_a = "x";
  b.text_b = "y";
  b.word_v3 = 3;
  return b;
}

TEST(ComboBoxBlockTest, DefaultsVersionRulesTruncationAndRoundTrip) {
  ComboBoxBlock defaults;
  ASSERT_EQ(ReadComboBoxBlock("", &defaults), BlockStatus::kOk);
  EXPECT_EQ(defaults.style, 1u);
  EXPECT_EQ(defaults.current_index, -1);
  EXPECT_EQ(defaults.extra_item_height, 1u);
  EXPECT_TRUE(defaults.items.empty());
  ExpectCommonRules(3, SampleComboBox(), WriteComboBoxBlock, ReadComboBoxBlock);
}

TEST(ComboBoxBlockTest, TheLastWordBelongsToVersionThreeOnly) {
  ComboBoxBlock sample = SampleComboBox();
  std::string bytes = WriteComboBoxBlock(sample);
  bytes.resize(bytes.size() - 4);
  for (char version : {1, 2}) {
    bytes[0] = version;
    ComboBoxBlock b;
    ASSERT_EQ(ReadComboBoxBlock(bytes, &b), BlockStatus::kOk);
    EXPECT_EQ(b.word_v3, 0u);
    EXPECT_EQ(b.items, sample.items);
    EXPECT_EQ(b.text_b, sample.text_b);
  }
  bytes[0] = 3;
  ComboBoxBlock b;
  EXPECT_EQ(ReadComboBoxBlock(bytes, &b), BlockStatus::kTruncated);
}

TEST(ComboBoxBlockTest, AnItemCountBeyondTheBlockIsTruncated) {
  ComboBoxBlock sample;
  std::string bytes = WriteComboBoxBlock(sample);
  // Layout after the version: 9 words, font blob, item-data blob, content, then the u16 count.
  const size_t count_at = 4 + 9 * 4 + 4 + 4 + 4;
  bytes[count_at] = '\xFF';
  bytes[count_at + 1] = '\xFF';
  ComboBoxBlock b;
  EXPECT_EQ(ReadComboBoxBlock(bytes, &b), BlockStatus::kTruncated);
}

TEST(ComboBoxBlockTest, ItemDataIsWholeWordsAndAPartialWordIsDropped) {
  ComboBoxBlock sample;
  std::string bytes = WriteComboBoxBlock(sample);
  const size_t data_at = 4 + 9 * 4 + 4;
  std::string blob;
  PutCounted(&blob, std::string("\x01\0\0\0\x02\0\0\0\x03", 9));
  bytes.replace(data_at, 4, blob);
  ComboBoxBlock b;
  ASSERT_EQ(ReadComboBoxBlock(bytes, &b), BlockStatus::kOk);
  EXPECT_EQ(b.item_data, (std::vector<uint32_t>{1, 2}));
}

TEST(ComboBoxBlockTest, TheWriterKeepsTheFirst65535ItemsOfALongerList) {
  ComboBoxBlock sample;
  sample.items.assign(0x10001, "i");
  sample.items[0xFFFE] = "last";
  sample.text_a = "after";
  ComboBoxBlock b;
  ASSERT_EQ(ReadComboBoxBlock(WriteComboBoxBlock(sample), &b), BlockStatus::kOk);
  ASSERT_EQ(b.items.size(), 0xFFFFu);
  EXPECT_EQ(b.items.back(), "last");
  EXPECT_EQ(b.text_a, "after");
}

// --- Labels, viewer, data units ------------------------------------------------------------------

TEST(LabelBlockTest, DefaultsVersionRulesTruncationAndRoundTrip) {
  LabelBlock defaults;
  ASSERT_EQ(ReadLabelBlock("", &defaults), BlockStatus::kOk);
  EXPECT_EQ(defaults.words[1], 8u);
  EXPECT_EQ(defaults.words[7], 0xFF000000u);
  LabelBlock b;
  for (uint32_t i = 0; i < 16; ++i) b.words[i] = 1000 + i;
  b.blob_a = "A";
  b.blob_b = "B";
  b.text = "line\r\n\r\nline";
  b.text_a = "a";
  b.text_b = "b";
  ExpectCommonRules(2, b, WriteLabelBlock, ReadLabelBlock);
}

TEST(TransLabelBlockTest, DefaultsVersionRulesTruncationAndRoundTrip) {
  TransLabelBlock defaults;
  ASSERT_EQ(ReadTransLabelBlock("", &defaults), BlockStatus::kOk);
  EXPECT_EQ(defaults.words[3], 1u);
  TransLabelBlock b;
  for (uint32_t i = 0; i < 5; ++i) b.words[i] = 50 + i;
  b.font = SampleStoredFont();
  b.text = "\xBC\xC7\xC2\xBC";  // 记录
  ExpectCommonRules(1, b, WriteTransLabelBlock, ReadTransLabelBlock);
}

TEST(HtmlViewerBlockTest, DefaultsVersionRulesTruncationAndRoundTrip) {
  HtmlViewerBlock b;
  b.words[0] = 5;
  b.words[2] = 6;
  b.address = "https://memo.example.org/";
  ExpectCommonRules(1, b, WriteHtmlViewerBlock, ReadHtmlViewerBlock);
}

TEST(GridBlockTest, DefaultsVersionRulesTruncationAndRoundTrip) {
  GridBlock defaults;
  ASSERT_EQ(ReadGridBlock("", &defaults), BlockStatus::kOk);
  EXPECT_EQ(defaults.words[2], 100u);
  EXPECT_TRUE(defaults.data_source.empty());
  GridBlock b;
  for (uint32_t i = 0; i < 9; ++i) b.words[i] = 7 * i + 1;
  b.data_source = "\xCA\xFD\xBE\xDD\xD4\xB4\x31";  // 数据源1
  ExpectCommonRules(1, b, WriteGridBlock, ReadGridBlock);
}

TEST(DataSrcBlockTest, DefaultsVersionRulesTruncationAndRoundTrip) {
  DataSrcBlock b;
  b.words[0] = 2;
  b.provider = "p";
  ExpectCommonRules(1, b, WriteDataSrcBlock, ReadDataSrcBlock);
}

TEST(DBProviderBlockTest, DefaultsVersionRulesTruncationAndRoundTrip) {
  DBProviderBlock b;
  b.word = 4;
  b.file_name = "C:\\memo\\db.edb";
  b.word_after = 5;
  ExpectCommonRules(2, b, WriteDBProviderBlock, ReadDBProviderBlock);
}

// --- EGrid ---------------------------------------------------------------------------------------

TEST(EGridBlockTest, EmptyBlockGivesTheTableDefaults) {
  EGridBlock b;
  b.words[8] = 325;
  ASSERT_EQ(ReadEGridBlock("", &b), BlockStatus::kOk);
  const uint32_t expected[28] = {0xC0C0C0, 0xFFFFFF,   0, 0, 3, 1, 1, 24,
                                 60,       5,          5, 1, 1, 1, 1, 0,
                                 1,        0xFF000000, 0, 0, 0, 1, 0, kSystemHighlightColour,
                                 1,        0,          0, 1};
  for (int i = 0; i < 28; ++i) EXPECT_EQ(b.words[i], expected[i]) << "word " << i + 1;
  EXPECT_FALSE(b.has_extension);
  EXPECT_EQ(b.SelectionColour(), kSystemHighlightColour);
  // The marker is no colour and announces no extension.
  EXPECT_EQ(kSystemHighlightColour & 0x80000000u, 0u);
  EXPECT_NE(kSystemHighlightColour & 0xFF000000u, 0u);
}

EGridBlock SampleEGrid() {
  EGridBlock b;
  for (uint32_t i = 0; i < 28; ++i) b.words[i] = 0x100 + i;
  b.words[kEGridSelectionWord] = 0xFF9933;
  return b;
}

TEST(EGridBlockTest, VersionRulesTruncationAndRoundTrip) {
  ExpectCommonRules(12, SampleEGrid(), WriteEGridBlock, ReadEGridBlock);
  EXPECT_EQ(WriteEGridBlock(SampleEGrid()).size(), 4u + 28 * 4);
}

TEST(EGridBlockTest, EachVersionReadsTheWordsOfItsMinimumVersionOnly) {
  const uint32_t min_version[28] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  1,  1,
                                    2, 3, 4, 5, 6, 6, 7, 8, 8, 8, 9, 10, 11, 12};
  const EGridBlock defaults;
  for (uint32_t version = 1; version <= 12; ++version) {
    SCOPED_TRACE(version);
    std::string bytes;
    PutU32(&bytes, version);
    for (int i = 0; i < 28; ++i) {
      if (version >= min_version[i]) PutU32(&bytes, 0x200 + i);
    }
    EGridBlock b;
    ASSERT_EQ(ReadEGridBlock(bytes, &b), BlockStatus::kOk);
    EXPECT_EQ(b.version, version);
    for (int i = 0; i < 28; ++i) {
      EXPECT_EQ(b.words[i], version >= min_version[i] ? 0x200u + i : defaults.words[i])
          << "word " << i + 1;
    }
    EXPECT_FALSE(b.has_extension);
    ExpectEveryPrefixTruncated(bytes, ReadEGridBlock);
  }
}

TEST(EGridBlockTest, ASelectionColourWithTheTopBitCarriesTheExtension) {
  EGridBlock sample = SampleEGrid();
  sample.words[kEGridSelectionWord] = 0x80FF9933u;
  sample.has_extension = true;
  sample.extension_format = 1;
  sample.extension_word = 0x00ABCDEF;
  sample.extension_border = 5;
  const std::string bytes = WriteEGridBlock(sample);
  ASSERT_EQ(bytes.size(), 4u + 28 * 4 + 3 * 4);
  EGridBlock b;
  ASSERT_EQ(ReadEGridBlock(bytes, &b), BlockStatus::kOk);
  EXPECT_EQ(b, sample);
  EXPECT_EQ(b.SelectionColour(), 0xFF9933u);
  // The extension is part of the block: cutting it is a truncation.
  ExpectEveryPrefixTruncated(bytes, ReadEGridBlock);
}

TEST(EGridBlockTest, AnExtensionFormatOtherThanZeroOrOneIsRefused) {
  EGridBlock sample = SampleEGrid();
  sample.words[kEGridSelectionWord] = 0x80000000u;
  sample.has_extension = true;
  for (uint32_t format : {0u, 1u, 2u, 0xFFFFFFFFu}) {
    sample.extension_format = format;
    EGridBlock b;
    EGridBlock before = b;
    BlockStatus status = ReadEGridBlock(WriteEGridBlock(sample), &b);
    if (format <= 1) {
      EXPECT_EQ(status, BlockStatus::kOk) << format;
    } else {
      EXPECT_EQ(status, BlockStatus::kBadValue) << format;
      EXPECT_EQ(b, before);
    }
  }
}

TEST(EGridBlockTest, BelowVersionEightTheTopBitOfLaterWordsAnnouncesNothing) {
  // Version 7 has no selection colour word: a set top bit in its last word is just a value.
  std::string bytes;
  PutU32(&bytes, 7);
  for (int i = 0; i < 21; ++i) PutU32(&bytes, 0x80000000u | static_cast<uint32_t>(i));
  EGridBlock b;
  ASSERT_EQ(ReadEGridBlock(bytes, &b), BlockStatus::kOk);
  EXPECT_FALSE(b.has_extension);
  EXPECT_EQ(b.words[kEGridSelectionWord], kSystemHighlightColour);
}

// --- LOGFONT -------------------------------------------------------------------------------------

TEST(LogFontTest, SixtyBytesRoundTripAndTheLayoutIsWindows) {
  const LogFont font = SampleFont();
  const std::string bytes = WriteLogFont(font);
  ASSERT_EQ(bytes.size(), kLogFontBytes);
  EXPECT_EQ(bytes.substr(0, 4), "\xF4\xFF\xFF\xFF");               // height -12
  EXPECT_EQ(bytes.substr(16, 4), std::string("\xBC\x02\0\0", 4));  // weight 700
  EXPECT_EQ(bytes[20], 1);                                         // italic
  EXPECT_EQ(static_cast<uint8_t>(bytes[23]), 134);                 // charset
  EXPECT_EQ(bytes.substr(28, 5), std::string("\xCB\xCE\xCC\xE5\0", 5));
  LogFont out;
  ASSERT_TRUE(ReadLogFont(bytes, &out));
  EXPECT_EQ(out, font);
}

TEST(LogFontTest, AnyOtherLengthIsNoFontAndLeavesTheOutput) {
  const std::string bytes = WriteLogFont(SampleFont());
  LogFont out;
  out.height = 99;
  for (size_t length : {0u, 1u, 59u}) {
    EXPECT_FALSE(ReadLogFont(std::string_view(bytes).substr(0, length), &out));
  }
  EXPECT_FALSE(ReadLogFont(bytes + "x", &out));
  EXPECT_EQ(out.height, 99);
}

TEST(LogFontTest, AFaceIsAtMostThirtyOneBytes) {
  std::string bytes = WriteLogFont(LogFont{});
  bytes.replace(28, 32, std::string(32, 'F'));  // no terminator at all
  LogFont out;
  ASSERT_TRUE(ReadLogFont(bytes, &out));
  EXPECT_EQ(out.face, std::string(31, 'F'));
  LogFont long_face;
  long_face.face = std::string(40, 'G');
  const std::string written = WriteLogFont(long_face);
  ASSERT_EQ(written.size(), kLogFontBytes);
  EXPECT_EQ(written.back(), '\0');
  ASSERT_TRUE(ReadLogFont(written, &out));
  EXPECT_EQ(out.face, std::string(31, 'G'));
}

TEST(LogFontTest, ToFontSpecKeepsWhatDrawingNeeds) {
  platform::FontSpec spec = SampleFont().ToFontSpec();
  EXPECT_EQ(spec.height, -12);
  EXPECT_EQ(spec.weight, 700);
  EXPECT_TRUE(spec.italic);
  EXPECT_FALSE(spec.underline);
  EXPECT_TRUE(spec.strike_out);
  EXPECT_EQ(spec.escapement, 900);
  EXPECT_EQ(spec.face_gbk, "\xCB\xCE\xCC\xE5");
  EXPECT_TRUE(LogFont{}.ToFontSpec().IsDefault());
}

}  // namespace
}  // namespace memo::ui
