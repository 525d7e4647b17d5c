// Command lines and starting real programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/Launcher.h"
#include "platform/fake/TempDir.h"
#include "platform/linux/LinuxLauncher.h"

namespace qv::platform {
namespace {

TEST(CommandLineTest, BlanksQuotesAndBackslashes) {
  const auto words = [](const std::string& line) { return SplitCommandLine(line).words; };
  using W = std::vector<std::string>;
  EXPECT_EQ(words("  app  -a\tb "), (W{"app", "-a", "b"}));
  EXPECT_EQ(words("\"c:\\program files\\app.exe\" -x"), (W{"c:\\program files\\app.exe", "-x"}));
  EXPECT_EQ(words("say \\\"hi\\\""), (W{"say", "\"hi\""}));
  EXPECT_EQ(words("a\\\\\"b c\" d"), (W{"a\\b c", "d"}));  // \\" is one backslash, then a quote
  EXPECT_EQ(words("x \"\" y"), (W{"x", "", "y"}));         // an empty quoted word counts
  EXPECT_EQ(words(""), W{});
  const CommandWords quoted = SplitCommandLine("plain \"q\"uoted");
  EXPECT_EQ(quoted.quoted, (std::vector<bool>{false, true}));
}

// Waits (in real time, bounded) until the file holds something.
std::string WaitForFile(const fake::TempDir& dir, const std::string& name) {
  for (int i = 0; i < 200; ++i) {
    const std::string text = dir.ReadFile(name);
    if (!text.empty()) return text;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return {};
}

TEST(LinuxLauncherTest, StartsProgramsAndSaysWhyNot) {
  fake::TempDir dir;
  LinuxLauncher launcher;
  // An unquoted path with a blank in it, and the program's own arguments.
  ::mkdir(dir.File("my tools").c_str(), 0755);
  const std::string script = dir.WriteFile(
      "my tools/run", "#!/bin/sh\necho \"$1 $2 $(ps -o sid= -p $$ | tr -d ' ') $$\" > \"$3\"\n");
  ::chmod(script.c_str(), 0755);
  EXPECT_EQ(launcher.Execute(script + " one \"two words\" " + dir.File("out")), kLaunchStarted);
  const std::string out = WaitForFile(dir, "out");
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.substr(0, 14), "one two words ");
  // Its own session: the session id is its own process id.
  const std::string ids = out.substr(14);
  const std::size_t blank = ids.find(' ');
  ASSERT_NE(blank, std::string::npos);
  EXPECT_EQ(ids.substr(0, blank) + "\n", ids.substr(blank + 1));

  // PATH lookups see only the system's directories (a PATH entry the user may
  // not enter would answer "access denied").
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  ::setenv("PATH", "/usr/bin:/bin", 1);
  EXPECT_EQ(launcher.Execute("true"), kLaunchStarted);  // found in PATH
  for (int i = 0; i < 200 && launcher.Running() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(launcher.Running(), 0u);  // finished children are reaped

  EXPECT_EQ(launcher.Execute(dir.File("missing")), kLaunchFileNotFound);
  EXPECT_EQ(launcher.Execute(dir.File("no/such/dir/app")), kLaunchPathNotFound);
  EXPECT_EQ(launcher.Execute("c:\\program files\\dcplus\\DCPlusPlus.exe"), kLaunchFileNotFound);
  EXPECT_EQ(launcher.Execute(""), kLaunchFileNotFound);
  EXPECT_EQ(launcher.Execute("no-such-program-anywhere"), kLaunchFileNotFound);
  ::setenv("PATH", path.c_str(), 1);
  const std::string notExecutable = dir.WriteFile("data.txt", "text");
  EXPECT_EQ(launcher.Execute(notExecutable), kLaunchAccessDenied);  // root too: no execute bit at all
  const std::string garbage = dir.WriteFile("garbage", "\x01\x02 not a program");
  ::chmod(garbage.c_str(), 0755);
  EXPECT_EQ(launcher.Execute(garbage), kLaunchBadFormat);
}

}  // namespace
}  // namespace qv::platform
