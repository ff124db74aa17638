// Little-endian numbers and the three string forms of window definitions (zstring, text32,
// blob32), read through a cursor that never passes its limit and appended to a byte string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace memo::ui {

// Reads forward over [data, data + size). A read that would pass the limit fails, consumes
// nothing, and marks the cursor failed: every later read fails too, so a run of reads can be
// checked once with ok() at its end.
class ByteReader {
 public:
  ByteReader() = default;
  ByteReader(const uint8_t* data, size_t size) : pos_(data), limit_(data + size) {}
  explicit ByteReader(std::string_view bytes)
      : ByteReader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) {}

  bool ok() const { return ok_; }
  size_t remaining() const { return static_cast<size_t>(limit_ - pos_); }
  const uint8_t* position() const { return pos_; }

  bool U16(uint16_t* out) {
    if (!Need(2)) return false;
    *out = static_cast<uint16_t>(pos_[0] | (pos_[1] << 8));
    pos_ += 2;
    return true;
  }
  bool U32(uint32_t* out) {
    if (!Need(4)) return false;
    *out = static_cast<uint32_t>(pos_[0]) | (static_cast<uint32_t>(pos_[1]) << 8) |
           (static_cast<uint32_t>(pos_[2]) << 16) | (static_cast<uint32_t>(pos_[3]) << 24);
    pos_ += 4;
    return true;
  }
  bool I32(int32_t* out) {
    uint32_t value = 0;
    if (!U32(&value)) return false;
    *out = static_cast<int32_t>(value);
    return true;
  }
  bool Skip(size_t n) {
    if (!Need(n)) return false;
    pos_ += n;
    return true;
  }
  bool Bytes(size_t n, std::string* out) {
    if (!Need(n)) return false;
    out->assign(reinterpret_cast<const char*>(pos_), n);
    pos_ += n;
    return true;
  }
  // zstring: the bytes before the terminating 0, which must lie inside the limit.
  bool ZString(std::string* out) {
    if (!ok_) return false;
    for (const uint8_t* p = pos_; p < limit_; ++p) {
      if (*p == 0) {
        out->assign(reinterpret_cast<const char*>(pos_), static_cast<size_t>(p - pos_));
        pos_ = p + 1;
        return true;
      }
    }
    ok_ = false;
    return false;
  }
  // text32 and blob32: a u32 byte count, then that many bytes.
  bool Counted(std::string* out) {
    const uint8_t* start = pos_;
    uint32_t count = 0;
    if (!U32(&count)) return false;
    if (!Bytes(count, out)) {
      pos_ = start;
      return false;
    }
    return true;
  }
  // A cursor over the next n bytes, which this one steps over; a failed cursor when fewer remain.
  ByteReader Take(size_t n) {
    if (!Need(n)) return Failed();
    ByteReader sub(pos_, n);
    pos_ += n;
    return sub;
  }

 private:
  bool Need(size_t n) {
    if (ok_ && n <= remaining()) return true;
    ok_ = false;
    return false;
  }
  static ByteReader Failed() {
    ByteReader reader;
    reader.ok_ = false;
    return reader;
  }

  const uint8_t* pos_ = nullptr;
  const uint8_t* limit_ = nullptr;
  bool ok_ = true;
};

inline void PutU16(std::string* dst, uint16_t value) {
  dst->push_back(static_cast<char>(value & 0xFF));
  dst->push_back(static_cast<char>(value >> 8));
}
inline void PutU32(std::string* dst, uint32_t value) {
  for (int i = 0; i < 4; ++i) dst->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
inline void PutI32(std::string* dst, int32_t value) { PutU32(dst, static_cast<uint32_t>(value)); }
inline void PutZeros(std::string* dst, size_t n) { dst->append(n, '\0'); }

// A zstring holds no 0 byte of its own: the text is stored up to its first 0 byte, so that an
// embedded terminator can never shift the fields that follow.
inline void PutZString(std::string* dst, std::string_view text) {
  dst->append(text.substr(0, text.find('\0')));
  dst->push_back('\0');
}
// REQUIRES: bytes.size() < 4 GiB.
inline void PutCounted(std::string* dst, std::string_view bytes) {
  PutU32(dst, static_cast<uint32_t>(bytes.size()));
  dst->append(bytes);
}

}  // namespace memo::ui
