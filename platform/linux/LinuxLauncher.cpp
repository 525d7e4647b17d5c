#include "platform/linux/LinuxLauncher.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

extern char** environ;

namespace qv::platform {

namespace {

bool IsFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Why a program could not be started, in the watch's terms.
unsigned FailureOf(int error, const std::string& program) {
  switch (error) {
    case ENOENT: {
      const std::size_t slash = program.rfind('/');
      if (slash == std::string::npos || slash == 0) return kLaunchFileNotFound;
      struct stat info;
      const std::string directory = program.substr(0, slash);
      return ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? kLaunchFileNotFound
                                                                            : kLaunchPathNotFound;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return kLaunchPathNotFound;
    case EACCES:
    case EPERM: return kLaunchAccessDenied;
    case ENOEXEC:
    case EISDIR:
    case ETXTBSY: return kLaunchBadFormat;
    default: return kLaunchOutOfResources;
  }
}

}  // namespace

LinuxLauncher::~LinuxLauncher() {
  Reap();
}

void LinuxLauncher::Reap() {
  std::erase_if(children_, [](pid_t child) { return ::waitpid(child, nullptr, WNOHANG) != 0; });
}

std::size_t LinuxLauncher::Running() {
  Reap();
  return children_.size();
}

unsigned LinuxLauncher::Execute(const std::string& commandLine) {
  Reap();
  CommandWords line = SplitCommandLine(commandLine);
  if (line.words.empty() || line.words[0].empty()) return kLaunchFileNotFound;
  // An unquoted first word may be the start of a path with blanks: the
  // shortest run of words that names a file is the program.
  std::size_t programWords = 1;
  if (!line.quoted[0] && line.words[0].find('/') != std::string::npos && !IsFile(line.words[0])) {
    std::string candidate = line.words[0];
    for (std::size_t k = 1; k < line.words.size() && !line.quoted[k]; ++k) {
      candidate += ' ' + line.words[k];
      if (IsFile(candidate)) {
        line.words[0] = candidate;
        programWords = k + 1;
        break;
      }
    }
  }
  std::vector<std::string> arguments{line.words[0]};
  arguments.insert(arguments.end(), line.words.begin() + static_cast<std::ptrdiff_t>(programWords),
                   line.words.end());
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);

  // A clean start: its own session, default signal handling, nothing blocked
  // (the GUI's threads block some signals the program would inherit).
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  const std::string& program = arguments[0];
  const int error = program.find('/') != std::string::npos
                        ? ::posix_spawn(&child, program.c_str(), nullptr, &attributes, argv.data(), environ)
                        : ::posix_spawnp(&child, program.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error != 0) return FailureOf(error, program);
  children_.push_back(child);
  return kLaunchStarted;
}

}  // namespace qv::platform
