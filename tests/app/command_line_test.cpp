// The program's options, and the toolkit's that must pass untouched.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace qv {
namespace {

using Action = CommandLine::Action;

TEST(CommandLine, OurOptionsTheToolkitsAndTheRest) {
  EXPECT_EQ(ParseCommandLine({}).action, Action::kRun);
  EXPECT_EQ(ParseCommandLine({"--help"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"-h"}).action, Action::kHelp);
  EXPECT_EQ(ParseCommandLine({"--version"}).action, Action::kVersion);
  const CommandLine on = ParseCommandLine({"--autostart", "on"});
  EXPECT_EQ(on.action, Action::kAutostart);
  EXPECT_TRUE(on.autostartOn);
  EXPECT_FALSE(ParseCommandLine({"--autostart=off"}).autostartOn);
  EXPECT_EQ(ParseCommandLine({"--autostart=off"}).action, Action::kAutostart);

  // The toolkit's options, with one dash or two, a value apart or after "=".
  const CommandLine qt =
      ParseCommandLine({"-platform", "xcb", "--display", ":3", "-style=Fusion", "-reverse"});
  EXPECT_EQ(qt.action, Action::kRun);
  EXPECT_TRUE(qt.platformChosen);
  EXPECT_EQ(qt.display, ":3");
  EXPECT_EQ(ParseCommandLine({"-display=:4"}).display, ":4");

  // Everything else is a usage error, which says what was wrong.
  for (const std::vector<std::string>& wrong :
       std::vector<std::vector<std::string>>{{"--bogus"},
                                             {"file.txt"},
                                             {"-"},
                                             {"--autostart"},
                                             {"--autostart", "maybe"},
                                             {"-platform"},
                                             {"--help", "--version"}}) {
    const CommandLine line = ParseCommandLine(wrong);
    EXPECT_EQ(line.action, Action::kUsageError) << wrong.front();
    EXPECT_FALSE(line.error.empty());
  }
  EXPECT_EQ(ParseCommandLine({"--bogus"}).error, "unknown option: --bogus");
  EXPECT_NE(UsageText("quorvane").find("--autostart on|off"), std::string::npos);
}

}  // namespace
}  // namespace qv
