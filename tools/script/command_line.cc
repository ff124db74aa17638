#include "tools/script/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/codec.h"
#include "tools/script/runner.h"
#include "tools/script/steps.h"

namespace memo::script {

namespace {

namespace fs = std::filesystem;

// The run directory: absolute, existing, with a name the program's code page can hold (the
// program sees its own path in GBK).
bool PrepareDirectory(const CommandLine& command_line, std::string* directory, bool* temporary,
                      std::string* error) {
  std::error_code ec;
  *temporary = command_line.directory.empty();
  fs::path path;
  if (*temporary) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/memo-script-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      *error = "cannot make a temporary run directory: " + std::string(std::strerror(errno));
      return false;
    }
    path = pattern;
  } else {
    path = fs::absolute(command_line.directory, ec).lexically_normal();
    if (!ec && !fs::exists(path, ec)) fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path, ec)) {
      *error = "cannot use run directory " + command_line.directory +
               (ec ? ": " + ec.message() : std::string(": not a directory"));
      return false;
    }
  }
  *directory = path.string();
  while (directory->size() > 1 && directory->back() == '/') directory->pop_back();
  std::string gbk;
  if (!Utf8ToGbkStrict(*directory, &gbk)) {
    *error = "the run directory's path " + *directory + " has characters GBK cannot hold";
    if (*temporary) fs::remove_all(path, ec);
    return false;
  }
  return true;
}

}  // namespace

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: memo-script [--dir DIR] [--trace] SCRIPT\n"
      "\n"
      "Runs the memo program headless and drives it from SCRIPT, one step a line.\n"
      "  --dir DIR  the run directory (the program's files live there); default: a new\n"
      "             temporary directory, removed afterwards\n"
      "  --trace    print every step and everything the program showed\n"
      "Exit status: 0 all steps held, 1 a step failed, 2 malformed or unreadable.\n",
      out);
}

bool ParseCommandLine(int argc, const char* const* argv, CommandLine* out, std::string* error) {
  *out = CommandLine{};
  bool options_done = false;
  bool have_script = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && arg == "--trace") {
      out->trace = true;
    } else if (!options_done && (arg == "--help" || arg == "-h")) {
      out->help = true;
    } else if (!options_done && arg == "--dir") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        *error = "--dir needs a directory";
        return false;
      }
      out->directory = argv[++i];
    } else if (!options_done && arg.rfind("--dir=", 0) == 0) {
      out->directory = arg.substr(6);
      if (out->directory.empty()) {
        *error = "--dir needs a directory";
        return false;
      }
    } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (have_script) {
      *error = "one script only (got " + out->script_path + " and " + arg + ")";
      return false;
    } else {
      out->script_path = arg;
      have_script = true;
    }
  }
  if (!have_script && !out->help) {
    *error = "no script given";
    return false;
  }
  return true;
}

int RunMemoScript(const CommandLine& command_line, const std::function<int()>& entry,
                  std::FILE* out, std::FILE* err) {
  if (command_line.help) {
    PrintUsage(out);
    return kExitHeld;
  }
  std::ifstream in(command_line.script_path, std::ios::binary);
  if (!in) {
    std::fprintf(err, "%s: cannot read the script: %s\n", command_line.script_path.c_str(),
                 std::strerror(errno));
    return kExitMalformed;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    std::fprintf(err, "%s: cannot read the script\n", command_line.script_path.c_str());
    return kExitMalformed;
  }

  Script script;
  script.path = command_line.script_path;
  ScriptError parse_error;
  if (!ParseScript(text, &script, &parse_error)) {
    std::fprintf(err, "%s:%d: %s\n", script.path.c_str(), parse_error.line,
                 parse_error.message.c_str());
    return kExitMalformed;
  }

  RunOptions options;
  bool temporary = false;
  std::string error;
  if (!PrepareDirectory(command_line, &options.run_directory, &temporary, &error)) {
    std::fprintf(err, "memo-script: %s\n", error.c_str());
    return kExitMalformed;
  }
  options.trace = command_line.trace;
  options.out = out;
  options.err = err;
  if (command_line.trace) std::fprintf(out, "run directory %s\n", options.run_directory.c_str());

  int status;
  {
    ScriptRunner runner(script, options, entry);
    status = runner.Run();
  }
  if (temporary) {
    std::error_code ec;
    fs::remove_all(options.run_directory, ec);
  }
  return status;
}

}  // namespace memo::script
