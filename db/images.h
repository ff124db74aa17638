// The three file images the program carries and writes out on first start, byte for byte:
//   accounts "c.mcn"   324 bytes: fields 帐号 (text 20 at 4) and 密码 (text 40 at 24), record
//                      size 64, one record (serial 1: "test", "kqzv"), next serial 2, created
//                      2014-07-07 21:51:13;
//   memo table "a.mcn" 404 bytes: fields 分类 (text 10 at 4), 时间 (date-time at 14), 记事 (memo
//                      at 22), 跟进 (memo at 26), record size 30, no records, next serial 57,
//                      created 2014-07-06 19:28:04;
//   memo file "a.edt"  512 bytes: the header block only (block count 1, no free blocks), with the
//                      memo table's creation time.
// Each is a constant byte-set block {1, n, bytes}, registered as runtime constant data: releasing
// it does nothing and reallocating it yields a heap copy.
#pragma once

#include <cstddef>
#include <string_view>

namespace memo::db {

constexpr size_t kAccountsImageSize = 324;
constexpr size_t kMemoTableImageSize = 404;
constexpr size_t kMemoFileImageSize = 512;

// Creation times as day numbers (days since 1899-12-30).
constexpr double kAccountsCreationTime = 41827.0 + 78673.0 / 86400.0;   // 2014-07-07 21:51:13
constexpr double kMemoTableCreationTime = 41826.0 + 70084.0 / 86400.0;  // 2014-07-06 19:28:04

// The byte-set blocks.
const void* AccountsImage();
const void* MemoTableImage();
const void* MemoFileImage();

// The file bytes of each image (the block without its 8-byte header).
std::string_view AccountsImageBytes();
std::string_view MemoTableImageBytes();
std::string_view MemoFileImageBytes();

}  // namespace memo::db
