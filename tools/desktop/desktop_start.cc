#include "tools/desktop/desktop_start.h"

#include <cstdio>
#include <cstring>

#include "app/entry.h"
#include "platform/backend.h"
#include "platform/codec.h"
#include "platform/message_box.h"
#include "platform/qt/single_instance.h"
#include "runtime/program.h"

#ifndef MEMO_VERSION
#define MEMO_VERSION "0.0.0"
#endif

namespace memo::desktop {

EarlyRequest FindEarlyRequest(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      return EarlyRequest::kHelp;
    }
    if (std::strcmp(argv[i], "--version") == 0) return EarlyRequest::kVersion;
  }
  return EarlyRequest::kRun;
}

std::string HelpText(const platform::DataDirectoryChoice& choice) {
  std::string where =
      choice.path.empty() ? std::string("(none: ") + choice.reason + ")" : choice.path;
  std::string mode = choice.kind == platform::DataDirectoryKind::kPortable
                         ? "portable: " + choice.reason
                         : choice.reason;
  return "Usage: memo [--help | --version]\n"
         "A memo book for the desktop: memos with categories, time stamps and follow-up logs,\n"
         "guarded by one account.\n"
         "\n"
         "  -h, --help     print this help and exit\n"
         "      --version  print the version and exit\n"
         "\n"
         "Data directory: " +
         where +
         "\n"
         "  (" +
         mode +
         ")\n"
         "\n"
         "The data directory is the program's own directory when that holds c.mcn, a.mcn or a\n"
         "file named \"portable\"; otherwise $XDG_DATA_HOME/memo (~/.local/share/memo), created\n"
         "with mode 0700 on first start. It holds c.mcn (the account), a.mcn and a.edt (the\n"
         "memos), b.mcn and b.edt (the last query) and backups/YYYY-MM-DD/ (a copy of the book\n"
         "made at the first sign-in of each day; the last 14 days are kept).\n"
         "\n"
         "Starting memo again on the same data directory brings the running window to the front.\n"
         "See also: mcn(1) to check, back up and mend the files, memo-script(1).\n";
}

std::string VersionText() { return "memo " MEMO_VERSION "\n"; }

std::string CheckLeftoverArguments(int argc, char** argv) {
  if (argc <= 1) return std::string();
  return std::string("memo: unknown argument '") + argv[1] +
         "'\nTry 'memo --help' for more information.\n";
}

int RunDesktop(const platform::DataDirectoryChoice& choice, const std::string& runtime_directory) {
  platform::Backend* backend = platform::CurrentBackend();
  std::string message;
  if (!platform::PrepareDataDirectory(choice, &message)) {
    std::fprintf(stderr, "%s\n", message.c_str());
    if (backend != nullptr) {
      std::string text = Utf8ToGbk("备忘录无法使用它的数据目录。\n\n" + message);
      backend->ShowMessageBox(text, Utf8ToGbk("温馨提示"), platform::kMbOk | platform::kMbIconStop);
    }
    return 1;
  }
  platform::qt::SingleInstance instance(choice.path, runtime_directory);
  switch (instance.Claim()) {
    case platform::qt::SingleInstance::Role::kHandedOver: return 0;
    case platform::qt::SingleInstance::Role::kUnanswered: {
      // Two programs on one book would empty each other's query view; the one that runs keeps it.
      std::string text = "memo: memo already runs on " + choice.path + " but does not answer (" +
                         instance.error().toStdString() + ").";
      std::fprintf(stderr, "%s\n", text.c_str());
      if (backend != nullptr) {
        backend->ShowMessageBox(Utf8ToGbk("备忘录已在运行，但没有响应。\n\n" + text),
                                Utf8ToGbk("温馨提示"), platform::kMbOk | platform::kMbIconStop);
      }
      return 1;
    }
    case platform::qt::SingleInstance::Role::kFailed:
      // One window per book is a convenience; the engine's locks still keep the files whole.
      std::fprintf(stderr, "memo: %s; starting anyway\n",
                   instance.error().toLocal8Bit().constData());
      break;
    case platform::qt::SingleInstance::Role::kFirst: break;
  }
  // The root directory is the empty run directory, as the executable's directory would give it.
  SetDataDirectory(choice.path == "/" ? std::string() : Utf8ToGbk(choice.path));
  return app::RunMemo();
}

}  // namespace memo::desktop
