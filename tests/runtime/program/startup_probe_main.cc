// Runs the program's start sequence on the headless backend with no window definitions, answers
// whatever box appears, and prints each box (UTF-8) and the current directory; exits with the
// program's exit code. Usage: startup_probe RUN_DIRECTORY
#include <cstdio>
#include <string>

#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/headless/headless_backend.h"
#include "platform/process.h"
#include "runtime/program.h"

namespace {

int exit_routine_calls = 0;
void CountExit() { ++exit_routine_calls; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  memo::platform::HeadlessBackend backend;
  backend.SetExecutablePath(memo::Utf8ToGbk(std::string(argv[1]) + "/memo"));
  memo::platform::InstallBackend(&backend);
  int code = 0;
  try {
    code = memo::RunProgram(0x52010009, CountExit);
  } catch (const memo::platform::ProgramEnded& ended) {
    code = ended.code;
  }
  for (const auto& box : backend.boxes()) {
    std::printf("box title=[%s] style=%u\n", memo::GbkToUtf8(box.title_gbk).c_str(), box.style);
    std::printf("%s\n", memo::GbkToUtf8(box.text_gbk).c_str());
  }
  std::printf("cwd=[%s]\n", memo::GbkToUtf8(memo::platform::CurrentDirectory()).c_str());
  std::printf("exit routine calls=%d\n", exit_routine_calls);
  std::fflush(stdout);
  return code;
}
