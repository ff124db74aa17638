// mcn backup FILE DIR: the consistent copy of a pair that the desktop program makes every day,
// for scripts and cron. DIR is created (mode 0700) when it does not exist; copies of the same
// names there are replaced, each in one step.
#include <cstdio>
#include <string>

#include "db/engine_code.h"
#include "db/pair_copy.h"
#include "platform/codec.h"
#include "platform/directory.h"
#include "platform/file.h"
#include "tools/mcn/cli.h"

namespace memo::mcn {

int BackupCommand(const Invocation& invocation) {
  std::string source_path;
  if (!FullPathOf(invocation, &source_path)) return ReportEngineError(db::kInvalidPath);
  std::string directory;
  if (!Utf8ToGbkStrict(invocation.operands[0], &directory) || directory.empty()) {
    return ReportEngineError(db::kInvalidPath);
  }
  directory = platform::FullPath(directory);
  platform::FileError error = platform::MakeDirectory(directory, 0700);
  if (error != platform::FileError::kNone) {
    std::fprintf(stderr, "mcn: cannot make the directory %s\n", Utf8(directory).c_str());
    return ReportEngineError(db::FileErrorCode(error, db::kCreateFailed));
  }
  db::PairCopy copy = db::CopyDatabasePair(source_path, directory, kLockWaitMs);
  if (copy.code != db::kOk) {
    if (!copy.failed_path.empty())
      std::fprintf(stderr, "mcn: %s\n", Utf8(copy.failed_path).c_str());
    return ReportEngineError(copy.code);
  }
  for (const std::string& path : copy.copied) std::printf("copied %s\n", Utf8(path).c_str());
  return kExitOk;
}

}  // namespace memo::mcn
