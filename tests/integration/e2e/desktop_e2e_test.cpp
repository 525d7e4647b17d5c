// The program as a desktop user meets it: the options that answer without a
// display, one copy per user and display, a lock left by a killed copy, files
// and lines beyond Latin-1, and the installed program started from its prefix.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "E2EFixture.h"

namespace qv::testing {
namespace {

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Runs the program with `arguments` and no display; its standard output, `status` its exit code.
std::string Headless(const std::vector<std::string>& arguments, const std::string& configHome, int* status) {
  std::vector<std::string> command{
      "env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "XDG_CONFIG_HOME=" + configHome, QV_QUORVANE_BINARY};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, status);
}

TEST(QuorvaneOptions, AnswerWithoutADisplay) {
  platform::fake::TempDir dir;
  int status = -1;
  EXPECT_EQ(Headless({"--version"}, dir.Path(), &status), "Quorvane Rel. 3.6\n");
  EXPECT_EQ(status, 0);
  EXPECT_NE(Headless({"--help"}, dir.Path(), &status).find("--autostart on|off"), std::string::npos);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(Headless({"--no-such-option"}, dir.Path(), &status), "");  // the usage goes to stderr
  EXPECT_EQ(status, 2);
  Headless({}, dir.Path(), &status);  // the window needs an X server: said, and not 0
  EXPECT_EQ(status, 1);

  const std::string entry = dir.File(std::string("autostart/") + QV_APPLICATION_ID + ".desktop");
  Headless({"--autostart", "on"}, dir.Path(), &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(dir.ReadFile(std::string("autostart/") + QV_APPLICATION_ID + ".desktop").find("Exec="),
            std::string::npos);
  Headless({"--autostart", "off"}, dir.Path(), &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(::access(entry.c_str(), F_OK), 0);
}

TEST_F(QuorvaneE2E, ASecondStartLeavesTheFirstAloneAndEndsWell) {
  ProgramRun first(dir, registryFile);
  ASSERT_FALSE(first.WaitForWindow(15000).empty());
  ASSERT_EQ(Occurrences(Log(), "Quorvane Rel. 3.6 started"), 1);
  const std::string before = Log();

  ProgramRun second(dir, registryFile,
                    {dir.File("quorvane"), {}, {"WAYLAND_DISPLAY=wayland-9"}, dir.File("second.err")});
  EXPECT_EQ(second.WaitForExit(10000), 0);
  const std::string said = dir.ReadFile("second.err");
  EXPECT_NE(said.find("Quorvane is already running"), std::string::npos) << said;
  EXPECT_EQ(Occurrences(said, "this is a Wayland session"), 1) << said;
  EXPECT_EQ(Log().substr(0, before.size()), before) << "the first one's log was not emptied";
  EXPECT_EQ(Occurrences(Log(), "Quorvane Rel. 3.6 started"), 1);
  EXPECT_EQ(::kill(first.Pid(), 0), 0) << "the first one runs on";
}

TEST_F(QuorvaneE2E, ALockLeftByAKilledCopyIsTakenOver) {
  {
    ProgramRun killed(dir, registryFile);
    ASSERT_FALSE(killed.WaitForWindow(15000).empty());
    killed.Kill();  // SIGKILL: no clean-up at all
  }
  ProgramRun next(dir, registryFile, {dir.File("quorvane"), {}, {}, {}});
  EXPECT_FALSE(next.WaitForWindow(15000).empty()) << "the stale lock kept the program from starting";
}

TEST_F(QuorvaneE2E, FilesProgramsAndLinesBeyondLatin1) {
  const std::string watched = dir.WriteFile("dziennik-\xC5\x82.log", "pierwsza\r\n");  // "ł"
  const std::string marker = dir.File("started-\xE6\x97\xA5");                         // CJK
  const std::string program =
      dir.WriteFile("start-\xC5\xBC.sh", "#!/bin/sh\necho started > '" + marker + "'\n");  // "ż"
  ::chmod(program.c_str(), 0755);
  SeedText("log", watched);
  SeedText("Execute", program);
  SeedText("WatchAppCaption", "Okno \xC5\xBC nie istnieje");
  SeedNumber("AppMonitorActive", 1);
  SeedNumber("interval", 1);
  ProgramRun run(dir, registryFile);
  ASSERT_FALSE(run.WaitForWindow(15000).empty());
  EXPECT_NE(Log().find("   Monitoring file " + watched + ", Size=10b\r\n"), std::string::npos) << Log();
  // The watched window is missing: the tick starts the program by its UTF-8 path.
  EXPECT_TRUE(Soon([&] { return ::access(marker.c_str(), F_OK) == 0; })) << Log();
  EXPECT_NE(Log().find("   Automatic restart of " + program + "successfull\r\n"), std::string::npos) << Log();
  // A UTF-8 line of the watched log reaches the event log as it is.
  std::ofstream(watched, std::ios::app)
      << "za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85\r\n";
  EXPECT_TRUE(Soon([&] {
    return Log().find("   $$$ ==> za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85\r\n") !=
           std::string::npos;
  })) << Log();
}

TEST_F(QuorvaneE2E, TheInstalledProgramStartsFromItsPrefixAndLogsInTheStateFolder) {
  const std::string prefix = dir.File("prefix");
  int status = -1;
  RunCommand({QV_CMAKE, "--install", QV_BUILD_DIR, "--prefix", prefix}, &status);
  ASSERT_EQ(status, 0);
  const std::string id = QV_APPLICATION_ID;
  for (const std::string& file :
       std::vector<std::string>{"/bin/quorvane", "/share/applications/" + id + ".desktop",
                                "/share/metainfo/" + id + ".metainfo.xml", "/share/man/man1/quorvane.1.gz",
                                "/share/icons/hicolor/16x16/apps/" + id + ".png",
                                "/share/icons/hicolor/256x256/apps/" + id + ".png"})
    EXPECT_EQ(::access((prefix + file).c_str(), R_OK), 0) << file;
  // As in /usr/bin: the program's folder takes no files.
  ::chmod((prefix + "/bin").c_str(), 0555);
  ProgramRun run(dir, registryFile,
                 {prefix + "/bin/quorvane", {}, {"XDG_STATE_HOME=" + dir.File("state")}, {}});
  EXPECT_FALSE(run.WaitForWindow(15000).empty());
  const std::string log = dir.ReadFile("state/quorvane/quorvane.log");
  EXPECT_NE(log.find("   Quorvane Rel. 3.6 started\r\n"), std::string::npos) << log;
  EXPECT_NE(::access((prefix + "/bin/quorvane.log").c_str(), F_OK), 0);
  EXPECT_EQ(run.Dialogs(), "") << "no error boxes";
  run.Kill();
  ::chmod((prefix + "/bin").c_str(), 0755);
}

}  // namespace
}  // namespace qv::testing
