// Little-endian encoding of the integers and doubles stored in record, memo and index files.
// Every on-disk number goes through these helpers, so the byte order never depends on the host.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace memo::db {

inline void EncodeFixed16(char* dst, uint16_t value) {
  auto* p = reinterpret_cast<unsigned char*>(dst);
  p[0] = static_cast<unsigned char>(value);
  p[1] = static_cast<unsigned char>(value >> 8);
}

inline void EncodeFixed32(char* dst, uint32_t value) {
  auto* p = reinterpret_cast<unsigned char*>(dst);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline void EncodeFixed64(char* dst, uint64_t value) {
  auto* p = reinterpret_cast<unsigned char*>(dst);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline uint16_t DecodeFixed16(const char* src) {
  auto* p = reinterpret_cast<const unsigned char*>(src);
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t DecodeFixed32(const char* src) {
  auto* p = reinterpret_cast<const unsigned char*>(src);
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

inline uint64_t DecodeFixed64(const char* src) {
  auto* p = reinterpret_cast<const unsigned char*>(src);
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

inline int32_t DecodeInt32(const char* src) { return static_cast<int32_t>(DecodeFixed32(src)); }
inline void EncodeInt32(char* dst, int32_t value) {
  EncodeFixed32(dst, static_cast<uint32_t>(value));
}

inline double DecodeDouble(const char* src) { return std::bit_cast<double>(DecodeFixed64(src)); }
inline void EncodeDouble(char* dst, double value) {
  EncodeFixed64(dst, std::bit_cast<uint64_t>(value));
}

inline float DecodeFloat(const char* src) { return std::bit_cast<float>(DecodeFixed32(src)); }
inline void EncodeFloat(char* dst, float value) {
  EncodeFixed32(dst, std::bit_cast<uint32_t>(value));
}

}  // namespace memo::db
