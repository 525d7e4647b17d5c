#include "platform/linux/LinuxSystemInfo.h"

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace qv::platform {
namespace {

TEST(LinuxSystemInfo, ExecutablePathIsThisTestProgram) {
  const std::string path = LinuxSystemInfo().ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "qv_platform_tests");
  EXPECT_EQ(::access(path.c_str(), X_OK), 0);
}

TEST(LinuxSystemInfo, LoginNameIsTheEffectiveUsersEntry) {
  const struct passwd* entry = ::getpwuid(::geteuid());
  const auto name = LinuxSystemInfo().LoginName();
  if (entry == nullptr) {
    EXPECT_FALSE(name.has_value());
  } else {
    EXPECT_EQ(name, std::string(entry->pw_name));
  }
}

}  // namespace
}  // namespace qv::platform
