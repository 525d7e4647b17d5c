#include "ProgramRun.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

extern char** environ;

namespace qv::testing {

namespace {
using Clock = std::chrono::steady_clock;

bool Elapsed(Clock::time_point start, int ms) {
  return Clock::now() - start > std::chrono::milliseconds(ms);
}
}  // namespace

bool HaveDisplay() {
  return std::getenv("DISPLAY") != nullptr;
}

std::string RunCommand(const std::vector<std::string>& argv, int* status) {
  int out[2];
  if (::pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  std::string text;
  if (rc == 0) {
    char buf[4096];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    int st = 0;
    ::waitpid(pid, &st, 0);
    if (status != nullptr) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  } else if (status != nullptr) {
    *status = -1;
  }
  ::close(out[0]);
  return text;
}

ProgramRun::ProgramRun(const platform::fake::TempDir& dir, const std::string& registryFile,
                       const RunOptions& options)
    : dir_(dir) {
  std::string exe = options.executable;
  if (exe.empty()) {
    exe = dir.File("quorvane");
    std::filesystem::copy_file(QV_QUORVANE_BINARY, exe, std::filesystem::copy_options::overwrite_existing);
  }
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string v = *e;
    if (v.rfind("QUORVANE_", 0) == 0 || v.rfind("HOME=", 0) == 0 || v.rfind("XDG_", 0) == 0) continue;
    env.push_back(v);
  }
  env.push_back("QUORVANE_REGISTRY=" + registryFile);
  env.push_back("QUORVANE_DIALOG_LOG=" + dir.File("dialogs.txt"));
  env.push_back("HOME=" + dir.Path());
  env.push_back("XDG_RUNTIME_DIR=" + dir.Path());
  for (const std::string& v : options.environment) env.push_back(v);
  std::vector<char*> envp;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> args{exe};
  args.insert(args.end(), options.arguments.begin(), options.arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!options.standardError.empty())
    posix_spawn_file_actions_addopen(&actions, 2, options.standardError.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
  if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
}

ProgramRun::~ProgramRun() {
  Kill();
}

std::string ProgramRun::WaitForWindow(int timeoutMs) {
  const auto start = Clock::now();
  while (!Elapsed(start, timeoutMs)) {
    const std::string out = RunCommand(
        {"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid_), "--name", "^Quorvane$"});
    // Only a window of our own process counts, whatever else the display shows.
    size_t at = 0;
    while (at < out.size()) {
      const size_t end = out.find('\n', at);
      const std::string id = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
      at = end == std::string::npos ? out.size() : end + 1;
      if (id.empty()) continue;
      const std::string owner = RunCommand({"xdotool", "getwindowpid", id});
      if (std::atoi(owner.c_str()) == pid_) {
        window_ = id;
        return window_;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return {};
}

void ProgramRun::Click(int x, int y) {
  RunCommand({"xdotool", "mousemove", "--window", window_, std::to_string(x), std::to_string(y)});
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  RunCommand({"xdotool", "click", "1"});
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

void ProgramRun::Key(const std::string& keys) {
  RunCommand({"xdotool", "key", keys});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void ProgramRun::Type(const std::string& text) {
  RunCommand({"xdotool", "type", "--delay", "20", text});
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

std::string ProgramRun::Dialogs() const {
  return dir_.ReadFile("dialogs.txt");
}

bool ProgramRun::WaitForDialog(const std::string& text, int timeoutMs) {
  const auto start = Clock::now();
  while (!Elapsed(start, timeoutMs)) {
    if (Dialogs().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

int ProgramRun::WaitForExit(int timeoutMs) {
  const auto start = Clock::now();
  while (!Elapsed(start, timeoutMs)) {
    int st = 0;
    const pid_t r = ::waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return -1;
}

void ProgramRun::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace qv::testing
