// The web launcher: finding the browser's command in the web page keys,
// cutting it into program and arguments, and starting it with the address;
// on this platform the keys show the desktop's default browser.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>

#include "desktop/GoToWeb.h"
#include "platform/Services.h"
#include "platform/fake/FakeLauncher.h"
#include "platform/fake/MemoryRegistryStore.h"
#include "platform/fake/TempDir.h"
#include "platform/linux/LinuxLauncher.h"
#include "platform/linux/XdgWebBrowser.h"

namespace qv {
namespace {

using platform::kHkeyClassesRoot;

std::vector<std::uint8_t> Sz(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

class GoToWebTest : public ::testing::Test {
 protected:
  GoToWebTest() {
    platform::Current() = platform::Services{};
    platform::Current().registry = &registry;
    platform::Current().launcher = &launcher;
  }
  ~GoToWebTest() override { platform::Current() = platform::Services{}; }
  void Plant(const std::string& path, const std::string& value) {
    registry.Plant(kHkeyClassesRoot, path, "", platform::kRegSz, Sz(value));
  }

  platform::fake::MemoryRegistryStore registry;
  platform::fake::FakeLauncher launcher;
};

TEST_F(GoToWebTest, PlaceholdersGoInPairs) {
  EXPECT_EQ(TGoToWeb::StripPlaceholders("app \"%1\" -x %L"), "app \"\" -x ");
  EXPECT_EQ(TGoToWeb::StripPlaceholders("100%% sure %"), "100 sure %");  // a last '%' stays
  EXPECT_EQ(TGoToWeb::StripPlaceholders("%%%1"), "");
}

TEST_F(GoToWebTest, CommandsAreCutAtTheLastProgramSuffix) {
  const auto split = [](const std::string& command) {
    const auto start = TGoToWeb::SplitCommand(command, "http://Example.test/A");
    return start.program + "|" + start.arguments;
  };
  EXPECT_EQ(split("\"C:\\Web\\browser.exe\" -nohome \"\""),
            "C:\\Web\\browser.exe| -nohome \"\" http://Example.test/A");
  EXPECT_EQ(split("C:\\Web\\browser.exe -h \"\""), "C:\\Web\\browser.exe|-h \"\" http://Example.test/A");
  EXPECT_EQ(split("C:\\Web\\web.exe"), "C:\\Web\\web.exe| http://Example.test/A");
  EXPECT_EQ(split("C:\\w.exe --profile=x.com"), "C:\\w.exe --profile=x.com| http://Example.test/A");
  // This platform's commands name no such suffix: the first word is the program.
  EXPECT_EQ(split("firefox-esr "), "firefox-esr| http://Example.test/A");
  EXPECT_EQ(split("\"/opt/My Browser/run\" --new-window "),
            "/opt/My Browser/run|--new-window http://Example.test/A");
}

TEST_F(GoToWebTest, TheExtensionsOwnCommandComesBeforeTheNextExtension) {
  TGoToWeb web(nullptr);
  EXPECT_FALSE(web.Execute());  // nothing registered
  EXPECT_TRUE(launcher.commands.empty());

  Plant(".htm", "htmfile");  // a type without a command
  Plant(".htm\\shell\\open\\command", "C:\\own.exe \"%1\"");
  Plant(".html", "htmlfile");
  Plant("htmlfile\\shell\\open\\command", "C:\\other.exe");
  EXPECT_EQ(TGoToWeb::FindBrowserCommand(), "C:\\own.exe \"\"");
  web.SetUrl("https://www.quorvane.example/");
  EXPECT_TRUE(web.Execute());
  // The tail's leading quotes go, here the whole empty pair.
  EXPECT_EQ(launcher.commands, std::vector<std::string>{"\"C:\\own.exe\"  https://www.quorvane.example/"});

  Plant(".htm\\shell\\open\\command", std::string(1, '\0') + "x");  // a first zero byte: not a command
  EXPECT_EQ(TGoToWeb::FindBrowserCommand(), "C:\\other.exe");
  launcher.result = platform::kLaunchFileNotFound;
  EXPECT_FALSE(web.Execute());
}

TEST_F(GoToWebTest, TheDesktopsDefaultBrowserStartsWithTheAddress) {
  platform::fake::TempDir dir;
  for (const char* sub : {"config", "data", "data/applications", "sys", "sys/applications"})
    ::mkdir(dir.File(sub).c_str(), 0755);
  platform::XdgPaths paths;
  paths.configHome = dir.File("config");
  paths.dataHome = dir.File("data");
  paths.dataDirs = {dir.File("sys")};
  paths.fallbackBrowser = "";
  platform::XdgClassesRoot view(registry, paths);
  platform::Current().registry = &view;
  EXPECT_EQ(TGoToWeb::FindBrowserCommand(), "");

  // Installed only: the system's association cache names it.
  const std::string script =
      dir.WriteFile("browser.sh", "#!/bin/sh\necho \"$@\" > \"" + dir.File("opened") + "\"\n");
  ::chmod(script.c_str(), 0755);
  dir.WriteFile("sys/applications/web.desktop",
                "[Desktop Entry]\nName=Web\nExec=" + script + " --new-window %u\nType=Application\n");
  dir.WriteFile("sys/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=missing.desktop;web.desktop;\n");
  EXPECT_EQ(TGoToWeb::FindBrowserCommand(), script + " --new-window ");
  // The user's choice wins; an entry that is not installed is passed over.
  dir.WriteFile("data/applications/mine.desktop", "[Desktop Entry]\nExec=" + script + " --mine %U\n");
  dir.WriteFile("config/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop;mine.desktop\n");
  EXPECT_EQ(TGoToWeb::FindBrowserCommand(), script + " --mine ");

  // The shown keys are read-only; the store's other keys are untouched.
  platform::HKey key = 0;
  EXPECT_EQ(view.CreateKey(kHkeyClassesRoot, ".html", &key), platform::kErrorAccessDenied);
  ASSERT_EQ(view.OpenKey(kHkeyClassesRoot, ".HTML", &key), platform::kErrorSuccess);
  EXPECT_EQ(view.SetValue(key, "", platform::kRegSz, Sz("x")), platform::kErrorAccessDenied);
  EXPECT_EQ(view.CloseKey(key), platform::kErrorSuccess);
  registry.Plant(platform::kHkeyLocalMachine, "Software\\x", "v", platform::kRegSz, Sz("kept"));
  EXPECT_TRUE(view.KeyExists(platform::kHkeyLocalMachine, "Software\\x"));

  platform::LinuxLauncher real;
  platform::Current().launcher = &real;
  TGoToWeb web(nullptr);
  web.SetUrl("https://www.quorvane.example/Page");
  ASSERT_TRUE(web.Execute());
  std::string opened;
  for (int i = 0; i < 200 && opened.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    opened = dir.ReadFile("opened");
  }
  EXPECT_EQ(opened, "--mine https://www.quorvane.example/Page\n");
  EXPECT_EQ(registry.OpenHandleCount(), 0);
}

}  // namespace
}  // namespace qv
