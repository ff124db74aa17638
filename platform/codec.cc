// GBK <-> UTF-8 through glibc's iconv.
//
// A well-formed GBK character (an ASCII byte, or a lead byte 0x81..0xFE followed by a trail byte
// 0x40..0xFE other than 0x7F) decodes to exactly one Unicode character, and every Unicode
// character encodes to one GBK character (or one '?'). A byte that cannot start a character
// (0x80, 0xFF, a lead byte whose next byte is no trail byte or is missing) decodes to one '?' on
// its own, and decoding goes on at the byte after it: an ASCII byte after a stray lead byte (a
// line break, a letter) is never lost with it.
//
// glibc's "GBK" table (the code page 936 mapping) leaves the user-defined areas of the two-byte
// range undecoded. Those codes are decoded through "GB18030", which maps them to private-use
// characters, and the same characters are encoded back through GB18030 when the result is a
// two-byte code. The table also reads the single byte 0x80 as the euro sign; here 0x80 is no
// character, so the euro sign is written as GB18030's two-byte code A2E3 instead, and A2E3 reads
// back as the euro sign. So every GBK byte pair that decodes at all round-trips to the same bytes.
// GB18030's four-byte sequences are never used: they are not GBK.
#include "platform/codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/gbk.h"

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

// The euro sign in UTF-8, and the two-byte code it is written as.
constexpr std::string_view kEuroUtf8 = "\xE2\x82\xAC";
constexpr std::string_view kEuroGbk = "\xA2\xE3";
constexpr unsigned char kEuroLead = 0x80;  // iconv's single-byte euro sign

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

// Decodes a run of text in which no character starts with 0x80.
bool DecodeRun(std::string_view gbk, std::string* out, bool strict) {
  return Convert(GbkDecoder(), gbk, out,
                 [strict](const unsigned char* p, size_t left, std::string* o) -> size_t {
                   std::string_view rest(reinterpret_cast<const char*>(p), left);
                   bool pair = GbkCharSize(rest, 0) == 2;
                   std::string utf8;
                   std::string gbk;
                   // Taken only when GBK has no code of its own for the character (or writes it
                   // as the single byte 0x80, the euro sign), so that no two byte codes decode
                   // alike.
                   if (pair && Gb18030Decoder().Whole(rest.substr(0, 2), &utf8) &&
                       (!GbkEncoder().Whole(utf8, &gbk) || gbk == std::string_view("\x80", 1))) {
                     o->append(utf8);
                     return 2;
                   }
                   if (strict) return 0;
                   o->push_back('?');
                   return 1;  // the next byte may begin a character of its own
                 });
}

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsGbkTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

bool DecodeGbk(std::string_view gbk, std::string* out, bool strict) {
  out->clear();
  // iconv would read a 0x80 that begins a character as the euro sign, so the text is decoded in
  // runs between such bytes, found by walking the characters as the decoder does.
  if (std::memchr(gbk.data(), kEuroLead, gbk.size()) == nullptr) {
    return DecodeRun(gbk, out, strict);
  }
  std::string piece;
  size_t start = 0;
  for (size_t i = 0; i < gbk.size();) {
    const auto c = static_cast<unsigned char>(gbk[i]);
    if (c == kEuroLead) {
      if (!DecodeRun(gbk.substr(start, i - start), &piece, strict) || strict) return false;
      out->append(piece);
      out->push_back('?');
      start = ++i;
      continue;
    }
    const bool pair =
        IsGbkLead(c) && i + 1 < gbk.size() && IsGbkTrail(static_cast<unsigned char>(gbk[i + 1]));
    i += pair ? 2 : 1;
  }
  if (!DecodeRun(gbk.substr(start), &piece, strict)) return false;
  out->append(piece);
  return true;
}

// Encodes a run of text that holds no euro sign.
bool EncodeRun(std::string_view utf8, std::string* out, bool strict) {
  return Convert(
      GbkEncoder(), utf8, out,
      [strict](const unsigned char* p, size_t left, std::string* o) -> size_t {
        size_t n = Utf8SequenceLength(p, left);
        std::string code;
        if (n > 1 &&
            Gb18030Encoder().Whole(std::string_view(reinterpret_cast<const char*>(p), n), &code) &&
            code.size() == 2) {
          o->append(code);
          return n;
        }
        if (strict) return 0;
        o->push_back('?');
        return n;
      });
}

bool EncodeGbk(std::string_view utf8, std::string* out, bool strict) {
  out->clear();
  std::string piece;
  for (;;) {
    size_t euro = utf8.find(kEuroUtf8);
    if (!EncodeRun(utf8.substr(0, euro), &piece, strict)) return false;
    out->append(piece);
    if (euro == std::string_view::npos) return true;
    out->append(kEuroGbk);
    utf8.remove_prefix(euro + kEuroUtf8.size());
  }
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
