// Runs the built mcn binary as a child process and captures what it printed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace memo::mcn::testing {

struct McnResult {
  int exit_code = -1;
  std::string out;
  std::string err;
  bool terminal_echoes = false;  // RunOnTerminal: the terminal echoes input after mcn ended
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh scratch directory, removed with the object; mcn runs with it as working directory.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "mcn-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Runs mcn with `extra_environment` ("NAME=value") added to this process's environment.
  McnResult Run(const std::vector<std::string>& args,
                const std::vector<std::string>& extra_environment = {}) const {
    McnResult result;
    std::filesystem::path out = path_ / ".mcn-stdout", err = path_ / ".mcn-stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, path_.c_str());
    std::vector<std::string> words = {MCN_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = extra_environment;
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, MCN_BINARY, &actions, nullptr, argv.data(), envp.data()) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadWholeFile(out);
    result.err = ReadWholeFile(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
  }

  // Starts `copies` children with the same arguments at once and waits for them all.
  std::vector<McnResult> RunTogether(const std::vector<std::string>& args, int copies) const {
    std::vector<pid_t> pids(static_cast<size_t>(copies), -1);
    std::vector<McnResult> results(static_cast<size_t>(copies));
    std::vector<std::string> words = {MCN_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    for (int i = 0; i < copies; ++i) {
      std::string out = (path_ / (".mcn-stdout-" + std::to_string(i))).string();
      std::string err = (path_ / (".mcn-stderr-" + std::to_string(i))).string();
      posix_spawn_file_actions_t actions;
      posix_spawn_file_actions_init(&actions);
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
      posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644);
      posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644);
      posix_spawn_file_actions_addchdir_np(&actions, path_.c_str());
      if (posix_spawn(&pids[i], MCN_BINARY, &actions, nullptr, argv.data(), environ) != 0) {
        pids[i] = -1;
      }
      posix_spawn_file_actions_destroy(&actions);
    }
    for (int i = 0; i < copies; ++i) {
      int status = 0;
      if (pids[i] > 0 && waitpid(pids[i], &status, 0) == pids[i]) {
        results[i].exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::filesystem::path out = path_ / (".mcn-stdout-" + std::to_string(i));
      std::filesystem::path err = path_ / (".mcn-stderr-" + std::to_string(i));
      results[i].out = ReadWholeFile(out);
      results[i].err = ReadWholeFile(err);
      std::filesystem::remove(out);
      std::filesystem::remove(err);
    }
    return results;
  }

  // Runs mcn with a new pseudo-terminal as its standard input, output and error (and controlling
  // terminal). Once the terminal has shown `wait_for`, `typed` is typed into it. `out` receives
  // everything the terminal showed: what mcn wrote and what the terminal echoed. The terminal
  // passes output through unchanged (no "\r" added before "\n"). The 60-second guard only
  // stops a child that hangs; no result depends on timing.
  McnResult RunOnTerminal(const std::vector<std::string>& args, const std::string& wait_for = {},
                          const std::string& typed = {}) const {
    McnResult result;
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return result;
    const std::string slave_name = ptsname(master);
    int slave = open(slave_name.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
      close(master);
      return result;
    }
    termios modes;
    tcgetattr(slave, &modes);
    modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tcsetattr(slave, TCSANOW, &modes);
    std::vector<std::string> words = {MCN_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      setsid();
      int tty = open(slave_name.c_str(), O_RDWR);
      if (tty < 0 || dup2(tty, 0) < 0 || dup2(tty, 1) < 0 || dup2(tty, 2) < 0 ||
          chdir(path_.c_str()) != 0) {
        _exit(127);
      }
      execv(MCN_BINARY, argv.data());
      _exit(127);
    }
    bool typed_yet = wait_for.empty() && typed.empty();
    if (!typed_yet && wait_for.empty()) {
      (void)!write(master, typed.data(), typed.size());
      typed_yet = true;
    }
    int status = 0;
    bool exited = pid < 0;
    for (int waited_ms = 0; pid > 0 && waited_ms < 60000;) {
      pollfd ready{master, POLLIN, 0};
      if (poll(&ready, 1, 20) > 0 && (ready.revents & POLLIN)) {
        char buffer[4096];
        ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0) result.out.append(buffer, static_cast<size_t>(n));
        if (!typed_yet && result.out.find(wait_for) != std::string::npos) {
          (void)!write(master, typed.data(), typed.size());
          typed_yet = true;
        }
        continue;
      }
      if (exited) break;  // exited and drained
      if (waitpid(pid, &status, WNOHANG) == pid) {
        exited = true;
        continue;  // one more pass drains what is left
      }
      waited_ms += 20;
    }
    if (pid > 0 && !exited) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.exit_code = -2;
    } else if (pid > 0) {
      result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    termios after;
    result.terminal_echoes = tcgetattr(slave, &after) == 0 && (after.c_lflag & ECHO) != 0;
    close(slave);
    close(master);
    return result;
  }

  // As Run, with the child's address space limited to `address_space_bytes` (not usable with
  // AddressSanitizer, which reserves far more address space than any such limit).
  McnResult RunLimited(const std::vector<std::string>& args, uint64_t address_space_bytes) const {
    McnResult result;
    std::filesystem::path out = path_ / ".mcn-stdout", err = path_ / ".mcn-stderr";
    std::vector<std::string> words = {MCN_BINARY};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      int in = open("/dev/null", O_RDONLY);
      int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || o < 0 || e < 0 || dup2(in, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 ||
          chdir(path_.c_str()) != 0) {
        _exit(127);
      }
      rlimit limit{address_space_bytes, address_space_bytes};
      setrlimit(RLIMIT_AS, &limit);
      execv(MCN_BINARY, argv.data());
      _exit(127);
    }
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
    result.exit_code = pid > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadWholeFile(out);
    result.err = ReadWholeFile(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace memo::mcn::testing
