// mcn's output paths that skip a step, held against the plain conversions they stand for: GBK to
// UTF-8 from a table of characters (against the converter), values formatted from their stored
// bytes (against formatting the typed value a field read gives), CSV cells appended in place and
// the hand-made ISO date-time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "db/coding.h"
#include "db/record_format.h"
#include "db/value_codec.h"
#include "platform/codec.h"
#include "runtime/convert.h"
#include "runtime/heap.h"
#include "tools/mcn/convert.h"
#include "tools/mcn/format.h"

namespace memo::mcn {
namespace {

std::string Fast(std::string_view gbk) {
  std::string out = "kept:";  // appending keeps what was there
  AppendGbkAsUtf8(gbk, &out);
  EXPECT_EQ(out.substr(0, 5), "kept:");
  return out.substr(5);
}

TEST(GbkAsUtf8Test, EveryByteAndEveryTwoByteCodeConvertsAsTheConverterDoes) {
  for (int c = 0; c < 256; ++c) {
    const std::string one(1, static_cast<char>(c));
    ASSERT_EQ(Fast(one), GbkToUtf8(one)) << c;
  }
  for (int lead = 0x80; lead < 0x100; ++lead) {
    for (int trail = 0; trail < 0x100; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      ASSERT_EQ(Fast(code), GbkToUtf8(code)) << lead << " " << trail;
      // Inside a text: after ASCII and before a common character (啊), whose lead byte a
      // broken code's second byte could pair with.
      const std::string inside = "a" + code + "\xb0\xa1";
      ASSERT_EQ(Fast(inside), GbkToUtf8(inside)) << lead << " " << trail;
    }
  }
}

TEST(GbkAsUtf8Test, MixedTextsConvertAsTheConverterDoes) {
  const std::vector<std::string> pieces = {
      "a",        " ",        ",",        "\"",       "\n",       "\x01",
      "\x7f",     "\x80",     "\xff",     "\x81",     "\xb0\xa1", "\xca\xd5\xbf\xee",
      "\xa2\xe3", "\xa1\xa1", "\x81\x40", "\xfe\xfe", "\x81\x7f", "\xa1\x30"};
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    ASSERT_EQ(Fast(text), GbkToUtf8(text)) << round;
  }
  // Longer than the piece the conversion gathers its bytes in.
  std::string long_text;
  for (int i = 0; i < 3000; ++i) long_text += i % 3 == 0 ? "x" : "\xb0\xa1";
  EXPECT_EQ(Fast(long_text), GbkToUtf8(long_text));
  EXPECT_EQ(Fast(""), "");
}

db::FieldDescriptor Field(uint32_t type, uint32_t offset, uint32_t length = 0) {
  db::FieldDescriptor field;
  std::memcpy(field.raw_name, "f", 2);
  field.type = type;
  field.offset = offset;
  field.declared_length = length;
  return field;
}

// What a field read and FormatValue print for the stored bytes.
std::string ThroughTypedValue(const db::FieldDescriptor& field, std::string_view stored,
                              Notation notation) {
  TypedValue value = db::MakeFieldValue(field, stored);
  std::string text = FormatValue(field.type, value, notation);
  ReleaseValue(&value);
  return text;
}

std::string Direct(const db::FieldDescriptor& field, std::string_view stored, Notation notation) {
  std::string out = "x";
  AppendStoredValue(field, stored, notation, &out);
  return out.substr(1);
}

std::string Bytes64(uint64_t v) {
  std::string bytes(8, '\0');
  db::EncodeFixed64(bytes.data(), v);
  return bytes;
}

std::string Bytes32(uint32_t v) {
  std::string bytes(4, '\0');
  db::EncodeFixed32(bytes.data(), v);
  return bytes;
}

TEST(StoredValueTest, EveryTypeFormatsAsTheTypedValueOfAFieldRead) {
  std::mt19937_64 random(11);
  std::vector<std::string> doubles, floats;
  const std::initializer_list<double> special_doubles = {
      0.0,       -0.0,      1.5,       -1e-310,   1e308,     NAN,       -NAN, INFINITY,
      -INFINITY, 41830.375, 2958465.0, 2958466.5, -657434.0, -657435.0, 1e20, -1e20};
  for (double d : special_doubles) {
    std::string bytes(8, '\0');
    db::EncodeDouble(bytes.data(), d);
    doubles.push_back(bytes);
  }
  for (float f : {0.0f, -0.0f, 3.4028235e38f, 1e-45f, NAN, -NAN, INFINITY, -INFINITY}) {
    std::string bytes(4, '\0');
    std::memcpy(bytes.data(), &f, 4);
    floats.push_back(bytes);
  }
  doubles.push_back(Bytes64(0xFFF8000000000001u));
  floats.push_back(Bytes32(0x7FC00001u));
  for (int i = 0; i < 2000; ++i) {
    doubles.push_back(Bytes64(random()));
    floats.push_back(Bytes32(static_cast<uint32_t>(random())));
  }
  const std::vector<db::FieldDescriptor> fixed = {
      Field(db::kFieldByte, 4), Field(db::kFieldShort, 4), Field(db::kFieldInt, 4),
      Field(db::kFieldLong, 4), Field(db::kFieldBool, 4),  Field(db::kFieldRoutine, 4)};
  for (Notation notation : {Notation::kCsv, Notation::kJson, Notation::kPlain}) {
    for (const std::string& bytes : doubles) {
      for (uint32_t type : {db::kFieldDouble, db::kFieldDateTime}) {
        const db::FieldDescriptor field = Field(type, 4);
        ASSERT_EQ(Direct(field, bytes, notation), ThroughTypedValue(field, bytes, notation));
      }
    }
    for (const std::string& bytes : floats) {
      const db::FieldDescriptor field = Field(db::kFieldFloat, 4);
      ASSERT_EQ(Direct(field, bytes, notation), ThroughTypedValue(field, bytes, notation));
    }
    for (const db::FieldDescriptor& field : fixed) {
      for (int i = 0; i < 500; ++i) {
        std::string bytes = Bytes64(i < 4 ? (i < 2 ? 0 : ~uint64_t{0}) : random());
        bytes.resize(field.Size());
        ASSERT_EQ(Direct(field, bytes, notation), ThroughTypedValue(field, bytes, notation))
            << field.type;
      }
    }
    for (uint32_t type : {db::kFieldText, db::kFieldMemo, db::kFieldByteSet}) {
      const db::FieldDescriptor field = Field(type, 4, type == db::kFieldText ? 12 : 0);
      for (int i = 0; i < 500; ++i) {
        std::string raw(random() % 40, '\0');
        for (char& c : raw) c = static_cast<char>(i % 2 == 0 ? random() : 0xb0 + random() % 2);
        const std::string_view stored = db::StoredValueBytes(field, raw);
        ASSERT_EQ(Direct(field, stored, notation), ThroughTypedValue(field, stored, notation))
            << type;
      }
      ASSERT_EQ(Direct(field, "", notation), ThroughTypedValue(field, "", notation)) << type;
    }
  }
}

TEST(CsvFieldTest, AppendingQuotesExactlyAsCsvField) {
  // Each special byte at each position of texts up to 20 bytes (the scan takes eight at a time).
  for (size_t length = 0; length <= 20; ++length) {
    for (size_t at = 0; at < std::max<size_t>(length, 1); ++at) {
      for (char special : {',', '"', '\r', '\n', ' ', 'a', '\x80'}) {
        std::string text(length, 'x');
        if (length > 0) text[at] = special;
        std::string out = "kept";
        AppendCsvField(text, &out);
        ASSERT_EQ(out, "kept" + CsvField(text)) << length << " " << at << " " << int{special};
      }
    }
  }
  std::string out;
  AppendCsvField("say \"hi\", \"\"", &out);
  EXPECT_EQ(out, "\"say \"\"hi\"\", \"\"\"\"\"");
}

TEST(IsoDateTimeTest, MatchesTheCalendarOfTheDayNumber) {
  std::mt19937_64 random(3);
  std::vector<double> days = {db::kMinDateTime, db::kMaxDateTime, 0.0, 41830.375, 36585.99999, -1.5,
                              2958465.9999999};
  for (int i = 0; i < 5000; ++i) {
    days.push_back(db::kMinDateTime + static_cast<double>(random() % 3615899000000u) / 1000.0);
  }
  for (double day : days) {
    CalendarTime t = SplitDateTime(day);
    char expected[40];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second);
    ASSERT_EQ(IsoDateTime(day), expected) << day;
  }
}

}  // namespace
}  // namespace memo::mcn
