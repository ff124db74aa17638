#include "db/images.h"

#include <array>
#include <bit>
#include <cstdint>

#include "db/memo_format.h"
#include "db/record_format.h"
#include "runtime/heap.h"

namespace memo::db {
namespace {

// A byte-set block under construction: {1, N, bytes}, built at compile time.
template <size_t N>
struct ImageBlock {
  alignas(8) std::array<unsigned char, 8 + N> bytes{};

  constexpr ImageBlock() {
    Put32(0, 1);  // the block header is relative to bytes[0], the data starts at 8
    Put32(4, static_cast<uint32_t>(N));
  }
  constexpr void Put32(size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
  }
  constexpr void Data32(size_t at, uint32_t value) { Put32(8 + at, value); }
  constexpr void DataDouble(size_t at, double value) {
    uint64_t bits = std::bit_cast<uint64_t>(value);
    for (int i = 0; i < 8; ++i) bytes[8 + at + i] = static_cast<unsigned char>(bits >> (8 * i));
  }
  constexpr void DataBytes(size_t at, std::initializer_list<unsigned char> data) {
    size_t i = 0;
    for (unsigned char c : data) bytes[8 + at + i++] = c;
  }
  constexpr void DataText(size_t at, const char* text) {
    for (size_t i = 0; text[i] != '\0'; ++i)
      bytes[8 + at + i] = static_cast<unsigned char>(text[i]);
  }
};

template <size_t N>
constexpr void PutRecordHeader(ImageBlock<N>& image, double created, int32_t count,
                               int32_t next_serial, int32_t record_size, uint32_t field_count) {
  image.DataBytes(kMagicOffset, {'W', 'E', 'D', 'B'});
  image.Data32(kVersionOffset, kFormatVersion);
  image.DataDouble(kCreationTimeOffset, created);
  image.Data32(kRecordCountOffset, static_cast<uint32_t>(count));
  image.Data32(kNextSerialOffset, static_cast<uint32_t>(next_serial));
  image.Data32(kRecordSizeOffset, static_cast<uint32_t>(record_size));
  image.Data32(kFieldCountOffset, field_count);
}

// Descriptor i: a GBK name (two characters), type, offset, declared length.
template <size_t N>
constexpr void PutField(ImageBlock<N>& image, uint32_t i, std::initializer_list<unsigned char> name,
                        uint32_t type, uint32_t offset, uint32_t length) {
  size_t at = kFieldTableOffset + kDescriptorSize * i;
  image.DataBytes(at, name);
  image.Data32(at + kDescriptorTypeOffset, type);
  image.Data32(at + kDescriptorOffsetOffset, offset);
  image.Data32(at + kDescriptorLengthOffset, length);
}

constexpr ImageBlock<kAccountsImageSize> BuildAccounts() {
  ImageBlock<kAccountsImageSize> image;
  PutRecordHeader(image, kAccountsCreationTime, 1, 2, 64, 2);
  PutField(image, 0, {0xD5, 0xCA, 0xBA, 0xC5}, kFieldText, 4, 20);   // 帐号
  PutField(image, 1, {0xC3, 0xDC, 0xC2, 0xEB}, kFieldText, 24, 40);  // 密码
  size_t record = RecordsStart(2);
  image.Data32(record, 1);
  image.DataText(record + 4, "test");
  image.DataText(record + 24, "kqzv");
  return image;
}

constexpr ImageBlock<kMemoTableImageSize> BuildMemoTable() {
  ImageBlock<kMemoTableImageSize> image;
  PutRecordHeader(image, kMemoTableCreationTime, 0, 57, 30, 4);
  PutField(image, 0, {0xB7, 0xD6, 0xC0, 0xE0}, kFieldText, 4, 10);      // 分类
  PutField(image, 1, {0xCA, 0xB1, 0xBC, 0xE4}, kFieldDateTime, 14, 0);  // 时间
  PutField(image, 2, {0xBC, 0xC7, 0xCA, 0xC2}, kFieldMemo, 22, 0);      // 记事
  PutField(image, 3, {0xB8, 0xFA, 0xBD, 0xF8}, kFieldMemo, 26, 0);      // 跟进
  return image;
}

constexpr ImageBlock<kMemoFileImageSize> BuildMemoFile() {
  ImageBlock<kMemoFileImageSize> image;
  image.DataBytes(kMemoMagicOffset, {'W', 'E', 'D', 'T'});
  image.Data32(kMemoVersionOffset, kFormatVersion);
  image.DataDouble(kMemoCreationTimeOffset, kMemoTableCreationTime);
  image.Data32(kMemoBlockCountOffset, 1);
  image.Data32(kMemoFreeCountOffset, 0);
  image.Data32(kMemoFreeHeadOffset, 0);
  return image;
}

constexpr ImageBlock<kAccountsImageSize> kAccounts = BuildAccounts();
constexpr ImageBlock<kMemoTableImageSize> kMemoTable = BuildMemoTable();
constexpr ImageBlock<kMemoFileImageSize> kMemoFile = BuildMemoFile();

static_assert(RecordsStart(2) + 64 == kAccountsImageSize);
static_assert(RecordsStart(4) == kMemoTableImageSize);

// Registers the three blocks as constant data once, before any of them is handed out.
void RegisterImages() {
  static const bool registered = [] {
    RegisterConstant(kAccounts.bytes.data(), kAccounts.bytes.size());
    RegisterConstant(kMemoTable.bytes.data(), kMemoTable.bytes.size());
    RegisterConstant(kMemoFile.bytes.data(), kMemoFile.bytes.size());
    return true;
  }();
  (void)registered;
}

template <size_t N>
const void* Registered(const ImageBlock<N>& image) {
  RegisterImages();
  return image.bytes.data();
}

template <size_t N>
std::string_view FileBytes(const ImageBlock<N>& image) {
  return std::string_view(reinterpret_cast<const char*>(image.bytes.data()) + 8, N);
}

}  // namespace

const void* AccountsImage() { return Registered(kAccounts); }
const void* MemoTableImage() { return Registered(kMemoTable); }
const void* MemoFileImage() { return Registered(kMemoFile); }

std::string_view AccountsImageBytes() { return FileBytes(kAccounts); }
std::string_view MemoTableImageBytes() { return FileBytes(kMemoTable); }
std::string_view MemoFileImageBytes() { return FileBytes(kMemoFile); }

}  // namespace memo::db
