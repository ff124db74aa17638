// The password digest kept in a protected RecordFile's header.
#pragma once

#include <string>
#include <string_view>

namespace memo::db {

// MD5 of the password's bytes as 32 lower-case hex characters, each pair of characters swapped
// (0 with 1, 2 with 3, ...), and the whole string reversed.
std::string PasswordDigest(std::string_view password);

// True when the digest of `password` equals `stored` ignoring ASCII case.
bool DigestMatches(std::string_view password, std::string_view stored);

}  // namespace memo::db
