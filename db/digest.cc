#include "db/digest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace memo::db {

std::string PasswordDigest(std::string_view password) {
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int md_length = 0;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  &EVP_MD_CTX_free);
  bool ok = context != nullptr && EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) == 1 &&
            EVP_DigestUpdate(context.get(), password.data(), password.size()) == 1 &&
            EVP_DigestFinal_ex(context.get(), md, &md_length) == 1 && md_length == 16;
  if (!ok) return std::string();
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(32);
  for (unsigned int i = 0; i < md_length; ++i) {
    text.push_back(kHex[md[i] >> 4]);
    text.push_back(kHex[md[i] & 0x0F]);
  }
  for (size_t i = 0; i + 1 < text.size(); i += 2) std::swap(text[i], text[i + 1]);
  std::reverse(text.begin(), text.end());
  return text;
}

bool DigestMatches(std::string_view password, std::string_view stored) {
  std::string digest = PasswordDigest(password);
  if (digest.empty() || digest.size() != stored.size()) return false;
  for (size_t i = 0; i < digest.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(digest[i]) != lower(stored[i])) return false;
  }
  return true;
}

}  // namespace memo::db
