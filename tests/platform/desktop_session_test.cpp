// Where the system log goes, the one-instance lock and its doorbell, the
// login-start entry and the web browser's lookup, on the real file system.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/fake/TempDir.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/XdgWebBrowser.h"

namespace qv::platform {
namespace {

// Sets an environment variable for the life of the object, then puts it back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value->c_str(), 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SystemLogPath, BesideTheProgramInTheStateFolderOrWhereTheUserSays) {
  fake::TempDir dir;
  ::mkdir(dir.File("bin").c_str(), 0755);
  ::mkdir(dir.File("ro").c_str(), 0555);  // closed for root too: no write bit at all
  const ScopedEnv noOverride("QUORVANE_LOG", std::nullopt);
  const ScopedEnv home("HOME", dir.File("home"));
  const ScopedEnv state("XDG_STATE_HOME", std::nullopt);
  const LinuxSystemInfo system;

  // A writable folder (the source tree, a portable copy): beside the program.
  EXPECT_EQ(system.SystemLogPath(dir.File("bin") + "/", "quorvane.log"), dir.File("bin") + "/quorvane.log");

  // An installed program: the user's state folder, made with its parents.
  const std::string stateLog = dir.File("home") + "/.local/state/quorvane/quorvane.log";
  EXPECT_EQ(system.SystemLogPath(dir.File("ro") + "/", "quorvane.log"), stateLog);
  struct stat info {};
  ASSERT_EQ(::stat((dir.File("home") + "/.local/state/quorvane").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  {
    const ScopedEnv chosen("XDG_STATE_HOME", dir.File("state"));
    EXPECT_EQ(system.SystemLogPath(dir.File("ro") + "/", "quorvane.log"),
              dir.File("state") + "/quorvane/quorvane.log");
  }

  // The user's word goes before both.
  const ScopedEnv overridden("QUORVANE_LOG", dir.File("mine.log"));
  EXPECT_EQ(system.SystemLogPath(dir.File("bin") + "/", "quorvane.log"), dir.File("mine.log"));
  EXPECT_EQ(system.SystemLogPath(dir.File("ro") + "/", "quorvane.log"), dir.File("mine.log"));
  ::chmod(dir.File("ro").c_str(), 0755);
}

TEST(InstanceLock, HeldByOneHolderAndFreeAgainWhenItGoes) {
  fake::TempDir dir;
  const std::string path = dir.File("quorvane-:5.lock");
  auto first = std::make_unique<InstanceLock>();
  ASSERT_EQ(first->Acquire(path), InstanceLock::Result::kAcquired);
  EXPECT_EQ(InstanceLock::HolderOf(path), ::getpid());
  // flock belongs to the open file: a second opening conflicts, even in this process.
  InstanceLock second;
  EXPECT_EQ(second.Acquire(path), InstanceLock::Result::kHeldByAnother);
  first.reset();  // as when the holder ends: the file stays, the lock goes
  ASSERT_EQ(::access(path.c_str(), F_OK), 0);
  InstanceLock third;
  EXPECT_EQ(third.Acquire(path), InstanceLock::Result::kAcquired);
  EXPECT_EQ(InstanceLock().Acquire(dir.File("no/such/folder.lock")), InstanceLock::Result::kFailed);
  // Another process sees it held (flock of util-linux).
  EXPECT_EQ(std::system(("flock -n '" + path + "' true").c_str()), 256);
}

TEST(InstanceDoorbell, HeardFromThisUserOnlyAndGoneWithItsHolder) {
  fake::TempDir dir;
  const std::string path = InstanceDoorbell::PathFor(dir.File("quorvane-:5.lock"));
  EXPECT_FALSE(InstanceDoorbell::Ring(path));  // nobody listens
  dir.WriteFile("quorvane-:5.lock.bell", "");  // left by a copy that died
  std::atomic<int> rings = 0;
  {
    InstanceDoorbell bell;
    ASSERT_TRUE(bell.Listen(path, [&] { ++rings; })) << bell.Error();
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0077, 0u);
    // Not heard: other words, and the right word from another user (let in
    // past the file's permissions for the test).
    const int other = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(other, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::send(other, "open", 4, MSG_NOSIGNAL), 4);
    ::close(other);
    if (::getuid() == 0) {
      ASSERT_EQ(::chmod(dir.Path().c_str(), 0711) | ::chmod(path.c_str(), 0777), 0);
      const pid_t child = ::fork();
      if (child == 0) {
        // The doorbell may hang up before the word is out: only the call counts.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::setuid(65534) != 0) _exit(2);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) _exit(1);
        [[maybe_unused]] const ssize_t sent = ::send(fd, "show", 4, MSG_NOSIGNAL);
        _exit(0);
      }
      int status = -1;
      ::waitpid(child, &status, 0);
      EXPECT_EQ(status, 0) << "the other user's call did not get through";
    }
    EXPECT_TRUE(InstanceDoorbell::Ring(path));
    EXPECT_TRUE(InstanceDoorbell::Ring(path));
    // Callers are heard in turn: once both rings are in, the others were not.
    for (int i = 0; i < 1000 && rings < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(rings, 2);
  }
  EXPECT_NE(::access(path.c_str(), F_OK), 0);
  EXPECT_FALSE(InstanceDoorbell::Ring(path));
}

TEST(Autostart, TheEntryIsWrittenWithAQuotedProgramAndRemoved) {
  fake::TempDir dir;
  const ScopedEnv config("XDG_CONFIG_HOME", dir.File("config"));
  std::string error;
  const std::string path = SetAutostart(true, "example.id", "/opt/my apps/quorvane", error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(path, dir.File("config") + "/autostart/example.id.desktop");
  const std::string entry = dir.ReadFile("config/autostart/example.id.desktop");
  EXPECT_NE(entry.find("\nExec=\"/opt/my apps/quorvane\"\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nIcon=example.id\n"), std::string::npos);
  EXPECT_EQ(DesktopExecQuoted("/usr/bin/quorvane"), "/usr/bin/quorvane");
  EXPECT_EQ(DesktopExecQuoted("/a$b/100%"), "\"/a\\\\$b/100%%\"");
  SetAutostart(false, "example.id", "", error);
  EXPECT_EQ(error, "");
  EXPECT_NE(::access(path.c_str(), F_OK), 0);
  SetAutostart(false, "example.id", "", error);  // already gone: fine
  EXPECT_EQ(error, "");
}

TEST(DefaultBrowser, TheWebSchemeHandlersComeBeforeTextHtml) {
  fake::TempDir dir;
  for (const char* sub : {"config", "data", "data/applications", "sys", "sys/applications"})
    ::mkdir(dir.File(sub).c_str(), 0755);
  XdgPaths paths;
  paths.configHome = dir.File("config");
  paths.dataHome = dir.File("data");
  paths.dataDirs = {dir.File("sys")};
  paths.fallbackBrowser = "";
  for (const char* name : {"pages", "plain", "secure", "system"})
    dir.WriteFile(std::string("data/applications/") + name + ".desktop",
                  std::string("[Desktop Entry]\nExec=") + name + " %u\n");
  // The system's cache names a browser for https.
  dir.WriteFile("sys/applications/mimeinfo.cache", "[MIME Cache]\nx-scheme-handler/https=system.desktop;\n");
  EXPECT_EQ(DefaultBrowserCommand(paths), "system %u");
  // The user's text/html choice goes before the system's cache...
  dir.WriteFile("config/mimeapps.list", "[Default Applications]\ntext/html=pages.desktop\n");
  EXPECT_EQ(DefaultBrowserCommand(paths), "pages %u");
  // ... and in the user's list the scheme handlers go first, https before http.
  dir.WriteFile("config/mimeapps.list",
                "[Default Applications]\ntext/html=pages.desktop\nx-scheme-handler/http=plain.desktop\n");
  EXPECT_EQ(DefaultBrowserCommand(paths), "plain %u");
  dir.WriteFile("config/mimeapps.list",
                "[Default Applications]\ntext/html=pages.desktop\nx-scheme-handler/http=plain.desktop\n"
                "x-scheme-handler/https=secure.desktop\n");
  EXPECT_EQ(DefaultBrowserCommand(paths), "secure %u");
  // Names that are paths, and files that are no plain files, are passed over:
  // a list must not make the lookup read a device that never ends.
  ::mkfifo(dir.File("data/applications/pipe.desktop").c_str(), 0644);
  dir.WriteFile("config/mimeapps.list",
                "[Default Applications]\nx-scheme-handler/https=../../../../dev/zero;/dev/zero;pipe.desktop;"
                "secure.desktop\n");
  EXPECT_EQ(DefaultBrowserCommand(paths), "secure %u");
}

}  // namespace
}  // namespace qv::platform
