// mcn's command line: the subcommands, their arguments, and the exit codes
// (0 success, 1 failure with the engine code and message on stderr, 2 bad usage).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "db/database.h"

namespace memo::mcn {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// How long mcn's lock requests retry, so that a running program's short locks do not fail it.
constexpr int32_t kLockWaitMs = 2000;

// What the command line asked for. Texts are UTF-8 as typed.
struct Invocation {
  std::string command;
  std::string file;
  std::vector<std::string> operands;  // after FILE: field specs, values, or the CSV path
  std::string password;
  bool has_password = false;
  std::string password_file;  // --password-file: read when the command runs
  bool json = false;
  bool csv = false;
  bool all = false;
  bool partial = false;  // add: fewer values than fields is meant
};

// Parses argv; false with a message in *error for bad usage. "help" is a command of its own.
bool ParseCommandLine(int argc, char** argv, Invocation* invocation, std::string* error);

void PrintUsage(std::FILE* out);

// Runs a parsed invocation (after taking its password from where it was asked for); returns the
// exit code.
int RunInvocation(const Invocation& invocation);

// Prints "<code> <message>" for an engine code to stderr and returns kExitFailure.
int ReportEngineError(int code);

// Prints "mcn: <message>" to stderr and returns the given exit code.
int ReportError(const std::string& message, int exit_code);

// Opens the invocation's file: read-only for looking (access 1: never a repair), or read/write
// with the engine's default access 0 for commands that change the file. Lock requests retry for
// up to two seconds, so a running program's short locks do not fail mcn.
enum class OpenPurpose { kLook, kChange };
int OpenDatabase(const Invocation& invocation, OpenPurpose purpose,
                 std::unique_ptr<db::DatabaseHandle>* handle);

// The invocation's FILE as a full GBK path with the default extension; false when the name has
// characters GBK cannot hold.
bool FullPathOf(const Invocation& invocation, std::string* full_path);

// A GBK text (file path, field name) as UTF-8 for printing.
std::string Utf8(const std::string& gbk);

// The subcommands (tools/mcn/*.cc).
int InfoCommand(const Invocation& invocation);
int DumpCommand(const Invocation& invocation);
int CheckCommand(const Invocation& invocation);
int CreateCommand(const Invocation& invocation);
int AddCommand(const Invocation& invocation);
int ExportCommand(const Invocation& invocation);
int ImportCommand(const Invocation& invocation);
int RepairCommand(const Invocation& invocation);
int RecoverCommand(const Invocation& invocation);
int BackupCommand(const Invocation& invocation);

}  // namespace memo::mcn
