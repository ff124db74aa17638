// Where mcn takes a database password from, so that it never has to be typed where `ps` shows
// it: a file named on the command line, the environment, or a prompt on the terminal.
#pragma once

#include <string>

#include "tools/mcn/cli.h"

namespace memo::mcn {

// The environment variable that holds a password for protected files.
constexpr const char* kPasswordVariable = "MCN_PASSWORD";

// Reads the password from `path`: its first line without the line break. False with a message in
// *error when the file cannot be read.
bool ReadPasswordFile(const std::string& path, std::string* password, std::string* error);

// Fills in the password of an invocation that names none, for a FILE that is protected ("WCDB"):
// from MCN_PASSWORD, else from a prompt on the terminal (without echo) when standard input is
// one. A password given with --password or --password-file is used as it is; `create` makes a
// protected file only with one of those. Without any source the invocation stays as it is, and
// opening a protected file fails as it did. Returns kExitOk, or an exit code after saying why.
int FillInPassword(Invocation* invocation);

}  // namespace memo::mcn
