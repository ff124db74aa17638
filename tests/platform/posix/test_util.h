// Helpers for the file-layer tests: a scratch directory and a second process that holds file
// handles on command, so that locks and share modes can be checked across processes.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/file.h"
#include "tests/support/temp_dir.h"

namespace memo::testing {

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A forked process that opens, locks and closes handles when told to. The child closes every
// descriptor it inherited except its two pipes, so that it never keeps the parent's open file
// descriptions (and with them the parent's locks) alive. Construct it before the parent opens
// the files under test anyway.
class RemoteHolder {
 public:
  RemoteHolder() {
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      for (int fd = 3; fd < 1024; ++fd) {
        if (fd != to_child[0] && fd != from_child[1]) close(fd);
      }
      Serve(to_child[0], from_child[1]);
      _exit(0);
    }
    close(to_child[0]);
    close(from_child[1]);
    out_ = to_child[1];
    in_ = from_child[0];
  }
  ~RemoteHolder() {
    if (pid_ > 0) {
      platform::IgnoreError(Call(Command{kExit}));  // the child's exit is awaited below
      close(out_);
      close(in_);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
  }
  RemoteHolder(const RemoteHolder&) = delete;
  RemoteHolder& operator=(const RemoteHolder&) = delete;

  bool ok() const { return pid_ > 0; }

  // Each returns the FileError of the operation in the child (slot chooses one of its handles).
  platform::FileError Open(int slot, const std::string& path, platform::FileAccess access,
                           platform::FileShare share,
                           platform::FileCreate create = platform::FileCreate::kOpenExisting) {
    Command c{kOpen};
    c.slot = slot;
    c.access = static_cast<int>(access);
    c.share = static_cast<int>(share);
    c.create = static_cast<int>(create);
    std::snprintf(c.path, sizeof c.path, "%s", path.c_str());
    return Call(c);
  }
  platform::FileError Close(int slot) {
    Command c{kClose};
    c.slot = slot;
    return Call(c);
  }
  platform::FileError Lock(int slot, uint64_t offset, uint64_t count) {
    Command c{kLock};
    c.slot = slot;
    c.offset = offset;
    c.count = count;
    return Call(c);
  }
  platform::FileError Unlock(int slot, uint64_t offset, uint64_t count) {
    Command c{kUnlock};
    c.slot = slot;
    c.offset = offset;
    c.count = count;
    return Call(c);
  }

 private:
  enum Op : int { kExit, kOpen, kClose, kLock, kUnlock };
  struct Command {
    int op = kExit;
    int slot = 0;
    int access = 0;
    int share = 0;
    int create = 0;
    uint64_t offset = 0;
    uint64_t count = 0;
    char path[1024] = {};
  };

  platform::FileError Call(const Command& c) {
    if (pid_ <= 0) return platform::FileError::kUnknown;
    int result = static_cast<int>(platform::FileError::kUnknown);
    if (write(out_, &c, sizeof c) != static_cast<ssize_t>(sizeof c))
      return platform::FileError::kUnknown;
    if (read(in_, &result, sizeof result) != static_cast<ssize_t>(sizeof result)) {
      return platform::FileError::kUnknown;
    }
    return static_cast<platform::FileError>(result);
  }

  [[noreturn]] static void Serve(int in, int out) {
    std::map<int, platform::File> files;
    Command c;
    while (read(in, &c, sizeof c) == static_cast<ssize_t>(sizeof c)) {
      platform::FileError e = platform::FileError::kNone;
      switch (c.op) {
        case kOpen:
          e = platform::File::Open(c.path, static_cast<platform::FileAccess>(c.access),
                                   static_cast<platform::FileShare>(c.share),
                                   static_cast<platform::FileCreate>(c.create), &files[c.slot]);
          break;
        case kClose: files.erase(c.slot); break;
        case kLock: e = files[c.slot].Lock(c.offset, c.count); break;
        case kUnlock: e = files[c.slot].Unlock(c.offset, c.count); break;
        default: break;
      }
      int result = static_cast<int>(e);
      if (write(out, &result, sizeof result) != static_cast<ssize_t>(sizeof result) ||
          c.op == kExit)
        break;
    }
    // Leave without running the parent's destructors or test framework; handles close with us.
    _exit(0);
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int in_ = -1;
};

// Runs `body` in a forked child and returns its exit status (0..255), or -1 when it died by a
// signal. The child closes nothing: use it for checks that do not care about inherited locks.
template <typename Body>
int RunInChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  if (pid < 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace memo::testing
