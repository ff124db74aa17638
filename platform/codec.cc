// GBK <-> UTF-8 through glibc's iconv.
//
// glibc's "GBK" table (the code page 936 mapping, with 0x80 as the euro sign) leaves the
// user-defined areas of the two-byte range undecoded. Those codes are decoded through "GB18030",
// which maps them to private-use characters, and the same characters are encoded back through
// GB18030 when the result is a two-byte code. So every GBK byte pair that decodes at all also
// round-trips to the same bytes. (A2E3, which GB18030 reads as the euro sign that GBK already
// has at 0x80, stays undecodable.) GB18030's four-byte sequences are never used: they are not GBK.
#include "platform/codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>

namespace memo {
namespace {

// One iconv descriptor per thread and direction: a descriptor keeps shift state and is not
// thread-safe.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of [*in, *in + *in_left) as possible, appending to out. Returns 0 when all
  // input was consumed, else the errno that stopped it (EILSEQ or EINVAL) with *in at the
  // offending sequence.
  int Run(const char** in, size_t* in_left, std::string* out) {
    if (!ok()) return EILSEQ;
    char buffer[1024];
    while (*in_left > 0) {
      char* in_ptr = const_cast<char*>(*in);
      char* out_ptr = buffer;
      size_t out_left = sizeof buffer;
      size_t rc = iconv(cd_, &in_ptr, in_left, &out_ptr, &out_left);
      out->append(buffer, static_cast<size_t>(out_ptr - buffer));
      *in = in_ptr;
      if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
        int error = errno;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return error;
      }
    }
    return 0;
  }

  // Converts exactly the bytes given; false unless all of them convert.
  bool Whole(std::string_view bytes, std::string* out) {
    const char* in = bytes.data();
    size_t left = bytes.size();
    std::string piece;
    if (Run(&in, &left, &piece) != 0) return false;
    out->append(piece);
    return true;
  }

 private:
  iconv_t cd_;
};

Converter& GbkDecoder() {
  thread_local Converter c("UTF-8", "GBK");
  return c;
}
Converter& GbkEncoder() {
  thread_local Converter c("GBK", "UTF-8");
  return c;
}
Converter& Gb18030Decoder() {
  thread_local Converter c("UTF-8", "GB18030");
  return c;
}
Converter& Gb18030Encoder() {
  thread_local Converter c("GB18030", "UTF-8");
  return c;
}

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Length of the UTF-8 sequence at p (1 for a stray byte), never beyond left.
size_t Utf8SequenceLength(const unsigned char* p, size_t left) {
  size_t n = 1;
  if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    n = 4;
  } else if (p[0] >= 0xE0) {
    n = p[0] <= 0xEF ? 3 : 1;
  } else if (p[0] >= 0xC2) {
    n = 2;
  }
  if (n > left) return 1;
  for (size_t i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 1;
  }
  return n;
}

// Shared loop of both directions: convert in bulk, and at each sequence the main table rejects,
// let `fix` handle it (append its conversion, or '?' when strict is false) and tell how many
// bytes it consumed; 0 means a strict failure.
template <typename Fix>
bool Convert(Converter& main, std::string_view in, std::string* out, Fix fix) {
  out->clear();
  out->reserve(in.size() * 3 / 2 + 1);
  const char* p = in.data();
  size_t left = in.size();
  while (left > 0) {
    if (main.Run(&p, &left, out) == 0) break;
    size_t used = fix(reinterpret_cast<const unsigned char*>(p), left, out);
    if (used == 0) return false;
    p += used;
    left -= used;
  }
  return true;
}

bool DecodeGbk(std::string_view gbk, std::string* out, bool strict) {
  return Convert(GbkDecoder(), gbk, out,
                 [strict](const unsigned char* p, size_t left, std::string* o) -> size_t {
                   bool pair = left >= 2 && IsGbkLead(p[0]) && IsGbkTrail(p[1]);
                   std::string utf8;
                   std::string gbk;
                   // Taken only when GBK has no code of its own for the character, so that no
                   // two byte codes decode alike (GB18030 reads A2E3 as the euro sign, which
                   // GBK writes as 0x80).
                   if (pair &&
                       Gb18030Decoder().Whole(
                           std::string_view(reinterpret_cast<const char*>(p), 2), &utf8) &&
                       !GbkEncoder().Whole(utf8, &gbk)) {
                     o->append(utf8);
                     return 2;
                   }
                   if (strict) return 0;
                   o->push_back('?');
                   return pair ? 2 : 1;
                 });
}

bool EncodeGbk(std::string_view utf8, std::string* out, bool strict) {
  return Convert(GbkEncoder(), utf8, out,
                 [strict](const unsigned char* p, size_t left, std::string* o) -> size_t {
                   size_t n = Utf8SequenceLength(p, left);
                   std::string code;
                   if (n > 1 && Gb18030Encoder().Whole(
                                    std::string_view(reinterpret_cast<const char*>(p), n), &code) &&
                       code.size() == 2) {
                     o->append(code);
                     return n;
                   }
                   if (strict) return 0;
                   o->push_back('?');
                   return n;
                 });
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  std::string out;
  DecodeGbk(gbk, &out, false);
  return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
  std::string out;
  EncodeGbk(utf8, &out, false);
  return out;
}

bool GbkToUtf8Strict(std::string_view gbk, std::string* out) {
  std::string result;
  if (!DecodeGbk(gbk, &result, true)) return false;
  *out = std::move(result);
  return true;
}

bool Utf8ToGbkStrict(std::string_view utf8, std::string* out) {
  std::string result;
  if (!EncodeGbk(utf8, &result, true)) return false;
  *out = std::move(result);
  return true;
}

}  // namespace memo
