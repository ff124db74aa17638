#include "tools/mcn/cli.h"

#include <cstring>

#include "db/engine_code.h"
#include "db/file_names.h"
#include "platform/codec.h"
#include "tools/mcn/password.h"

namespace memo::mcn {

namespace {

struct CommandSpec {
  const char* name;
  int (*run)(const Invocation&);
  int min_operands;
  int max_operands;   // -1: any number
  bool takes_format;  // --json / --csv
  bool takes_all;
  bool takes_partial = false;
};

const CommandSpec kCommands[] = {
    {"info", InfoCommand, 0, 0, false, false},       {"dump", DumpCommand, 0, 0, true, true},
    {"check", CheckCommand, 0, 0, false, false},     {"create", CreateCommand, 1, -1, false, false},
    {"add", AddCommand, 0, -1, false, false, true},  {"export", ExportCommand, 0, 0, true, false},
    {"import", ImportCommand, 1, 1, false, false},   {"repair", RepairCommand, 0, 0, false, false},
    {"recover", RecoverCommand, 1, 1, false, false}, {"backup", BackupCommand, 1, 1, false, false},
};

const CommandSpec* FindCommand(const std::string& name) {
  for (const CommandSpec& spec : kCommands) {
    if (name == spec.name) return &spec;
  }
  return nullptr;
}

}  // namespace

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: mcn [--password-file PWFILE] COMMAND FILE [ARGUMENTS]\n"
      "\n"
      "  info FILE                      header, fields, record counts, memo-file blocks\n"
      "  dump FILE [--json|--csv] [--all]\n"
      "                                 live records (--all: deleted ones too, marked)\n"
      "  check FILE                     the integrity walk over both files: damage (exit 1),\n"
      "                                 leaked blocks (reported, exit 0), harmless leftovers\n"
      "  repair FILE                    mends the bookkeeping: reclaims leaked blocks, sets the\n"
      "                                 block count from the file, rebuilds a broken free list,\n"
      "                                 trims free blocks at the end, lowers a record count the\n"
      "                                 file cannot hold, raises a low next serial. Keeps copies\n"
      "                                 FILE.bakN and its memo file's first; refuses (exit 1,\n"
      "                                 nothing changed) damage it cannot mend without loss\n"
      "  recover FILE NEWFILE           copies every record and every value that can be read\n"
      "                                 into a new pair; each value that cannot is left empty\n"
      "                                 and reported\n"
      "  backup FILE DIR                copies FILE and its memo file into DIR (made if\n"
      "                                 missing), both read under their whole-file locks so\n"
      "                                 that no writer can tear the copy\n"
      "  create FILE NAME:TYPE[:LENGTH]...\n"
      "                                 types: byte short int long float double bool datetime\n"
      "                                 text:N bytes memo; never replaces an existing file\n"
      "  add FILE VALUE... [--partial]  one record, values in field order (--partial: fewer\n"
      "                                 values than fields, the rest left empty)\n"
      "  export FILE --csv              live records as CSV with a heading row\n"
      "  import FILE CSV                one record per CSV row (heading row names fields); every\n"
      "                                 row is checked first, then all are added or none\n"
      "\n"
      "Values must fit their fields: whole numbers in the type's range, decimal numbers, logical\n"
      "words (true: 1 true t yes y 真 是; false: 0 false f no n 假 否), real date-times\n"
      "(2014-07-10, 2014-07-10 09:05[:00], 2014-07-10T09:05:00, 2014年7月10日9时5分), hex for\n"
      "bytes (0x00ff or 00ff); an empty value leaves the field empty. A text longer than its\n"
      "field is cut to fit, with a warning.\n"
      "\n"
      "A protected FILE's password comes from --password-file PWFILE (its first line), else\n"
      "from the environment variable MCN_PASSWORD, else from a prompt when standard input is a\n"
      "terminal (nothing typed is shown). create protects a new file only with --password-file.\n"
      "--password P works too, but every user of the machine can read P in the process list.\n"
      "\n"
      "dump and export show control characters in texts escaped (\\n, \\u001b) when they write\n"
      "to a terminal; written to a file or a pipe, CSV keeps every byte as stored.\n"
      "\n"
      "FILE without an extension gets \".EDB\". Texts are UTF-8. Files are opened read-only\n"
      "unless the command changes them. Exit codes: 0 success, 1 failure (engine code and\n"
      "message, or what is wrong), 2 bad usage.\n",
      out);
}

bool ParseCommandLine(int argc, char** argv, Invocation* invocation, std::string* error) {
  std::vector<std::string> words;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg == "--password") {
      if (i + 1 >= argc) {
        *error = "--password needs a value";
        return false;
      }
      invocation->password = argv[++i];
      invocation->has_password = true;
    } else if (!options_done && arg.rfind("--password=", 0) == 0) {
      invocation->password = arg.substr(std::strlen("--password="));
      invocation->has_password = true;
    } else if (!options_done && arg == "--password-file") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        *error = "--password-file needs a file name";
        return false;
      }
      invocation->password_file = argv[++i];
    } else if (!options_done && arg.rfind("--password-file=", 0) == 0) {
      invocation->password_file = arg.substr(std::strlen("--password-file="));
      if (invocation->password_file.empty()) {
        *error = "--password-file needs a file name";
        return false;
      }
    } else if (!options_done && arg == "--json") {
      invocation->json = true;
    } else if (!options_done && arg == "--csv") {
      invocation->csv = true;
    } else if (!options_done && arg == "--all") {
      invocation->all = true;
    } else if (!options_done && arg == "--partial") {
      invocation->partial = true;
    } else if (!options_done && (arg == "--help" || arg == "-h")) {
      invocation->command = "help";
      return true;
    } else if (!options_done && arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else {
      words.push_back(std::move(arg));
    }
  }
  if (words.empty()) {
    *error = "no command given";
    return false;
  }
  if (invocation->has_password && !invocation->password_file.empty()) {
    *error = "--password and --password-file exclude each other";
    return false;
  }
  invocation->command = words[0];
  if (invocation->command == "help") return true;
  const CommandSpec* spec = FindCommand(invocation->command);
  if (!spec) {
    *error = "unknown command " + invocation->command;
    return false;
  }
  if (words.size() < 2 || words[1].empty()) {
    *error = invocation->command + " needs a FILE";
    return false;
  }
  invocation->file = words[1];
  invocation->operands.assign(words.begin() + 2, words.end());
  int operands = static_cast<int>(invocation->operands.size());
  if (operands < spec->min_operands || (spec->max_operands >= 0 && operands > spec->max_operands)) {
    *error = "wrong number of arguments for " + invocation->command;
    return false;
  }
  if (!spec->takes_format && invocation->json) {
    *error = "--json does not apply to " + invocation->command;
    return false;
  }
  if (!spec->takes_format && invocation->csv) {
    *error = "--csv does not apply to " + invocation->command;
    return false;
  }
  if (invocation->json && invocation->csv) {
    *error = "--json and --csv exclude each other";
    return false;
  }
  if (invocation->command == "export" && !invocation->csv) {
    *error = "export needs --csv";
    return false;
  }
  if (!spec->takes_all && invocation->all) {
    *error = "--all does not apply to " + invocation->command;
    return false;
  }
  if (!spec->takes_partial && invocation->partial) {
    *error = "--partial does not apply to " + invocation->command;
    return false;
  }
  return true;
}

int RunInvocation(const Invocation& invocation) {
  if (invocation.command == "help") {
    PrintUsage(stdout);
    return kExitOk;
  }
  const CommandSpec* spec = FindCommand(invocation.command);
  if (!spec) return kExitUsage;
  Invocation with_password = invocation;
  int code = FillInPassword(&with_password);
  if (code != kExitOk) return code;
  return spec->run(with_password);
}

int OpenDatabase(const Invocation& invocation, OpenPurpose purpose,
                 std::unique_ptr<db::DatabaseHandle>* handle) {
  std::string name;
  if (!Utf8ToGbkStrict(invocation.file, &name)) return db::kInvalidPath;
  db::OpenOptions options;
  options.access =
      purpose == OpenPurpose::kLook ? db::OpenAccess::kReadOnly : db::OpenAccess::kRepairing;
  options.share = db::OpenShare::kDenyNone;
  options.password = Utf8ToGbk(invocation.password);
  options.lock_wait_ms = kLockWaitMs;
  return db::DatabaseHandle::Open(name, options, handle);
}

bool FullPathOf(const Invocation& invocation, std::string* full_path) {
  std::string name;
  if (!Utf8ToGbkStrict(invocation.file, &name)) return false;
  *full_path = db::FullPathOf(name, db::kRecordFileExtension);
  return true;
}

std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk); }

int ReportEngineError(int code) {
  std::fprintf(stderr, "%d %s\n", code, db::EngineMessageUtf8(code));
  return kExitFailure;
}

int ReportError(const std::string& message, int exit_code) {
  std::fprintf(stderr, "mcn: %s\n", message.c_str());
  return exit_code;
}

}  // namespace memo::mcn
