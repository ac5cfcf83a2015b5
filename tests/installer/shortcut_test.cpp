#include "installer/shortcut.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "support/exception_message.h"
#include "support/limited_drive.h"
#include "support/scratch.h"
#ifndef _WIN32
#include "platform/posix/shell_link_file.h"
#endif

namespace qel::installer {
namespace {

using testing::ScratchDir;
using TNames = std::vector<std::string>;

TEST(Shortcut, NamesComeFromTheLinkNameAndTheTarget) {
  struct TCase {
    std::string LinkName;
    std::string Expected;
  };
  const TCase cases[] = {
      {"C:\\Menu\\Qel Dovra", "C:\\Menu\\Qel Dovra.lnk"},
      {"C:\\Menu\\Suite 1.5", "C:\\Menu\\Suite 1.lnk"},  // the text from the dot is the extension
      {"C:\\Menu\\Tool.lnk", "C:\\Menu\\Tool.lnk"},
      {"C:\\Menu.d\\Tool", "C:\\Menu.d\\Tool.lnk"},  // a dot in a folder is no extension
      {"C:Tool", "C:Tool.lnk"},
  };
  for (const TCase& c : cases) EXPECT_EQ(LinkFileName(c.LinkName), c.Expected) << c.LinkName;
}

TEST(Shortcut, AnExistingLinkMakesTheNextOneNumbered) {
  ASSERT_TRUE(platform::InitializeShellServices());
  ScratchDir dir;
  const std::string target = dir.Path() + "Suite\\Tool.exe";
  for (int i = 0; i < 3; ++i) CreateShortcut(target, dir.Path() + "Suite Tool", "");
  EXPECT_EQ(dir.Names(), (TNames{"Suite Tool(1).lnk", "Suite Tool(2).lnk", "Suite Tool.lnk"}));
  // A folder of the candidate's name is no file, so it does not count as taken.
  ScratchDir other;
  ASSERT_TRUE(platform::CreateDir(other.Path() + "Name(1).lnk"));
  EXPECT_EQ(FreeLinkFileName(other.Path() + "Name.lnk"), other.Path() + "Name.lnk");
  other.Write("Name.lnk", "taken");
  EXPECT_EQ(FreeLinkFileName(other.Path() + "Name.lnk"), other.Path() + "Name(1).lnk");
}

TEST(Shortcut, ALinkThatCannotBeSavedIsAnError) {
  ASSERT_TRUE(platform::InitializeShellServices());
  ScratchDir dir;
  const std::string message = testing::MessageOf<base::EFCreateError>(
      [&] { CreateShortcut(dir.Path() + "Tool.exe", dir.Path() + "Missing\\Tool", ""); });
  EXPECT_NE(message.find("\"" + dir.Path() + "Missing\\Tool.lnk\""), std::string::npos) << message;
#ifndef _WIN32
  // A full disk: the error, and no empty or cut link left to pass for a shortcut.
  testing::LimitedDrive drive('q', 40);
  EXPECT_THROW(CreateShortcut(dir.Path() + "Tool.exe", drive.Root() + "Tool", ""), base::EFCreateError);
  EXPECT_FALSE(platform::FileExists(drive.Root() + "Tool.lnk"));
#endif
}

TEST(Shortcut, TheLinkHoldsTargetArgumentsAndTheTargetsFolder) {
  ASSERT_TRUE(platform::InitializeShellServices());
  ScratchDir dir;
  CreateShortcut(dir.Path() + "Suite\\Install.exe", dir.Path() + "Uninstall", "u");
  const std::string bytes = dir.Read("Uninstall.lnk");
  ASSERT_GE(bytes.size(), 76u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x4C\0\0\0\x01\x14\x02\0", 8)) << "a Shell Link header";
#ifndef _WIN32
  platform::posix::TShellLinkFields fields;
  ASSERT_TRUE(platform::posix::ReadShellLinkFile(dir.Path() + "Uninstall.lnk", fields));
  EXPECT_EQ(fields.Target, dir.Path() + "Suite\\Install.exe");
  EXPECT_EQ(fields.Arguments, "u");
  EXPECT_EQ(fields.WorkingDirectory, dir.Path() + "Suite\\");
#endif
}

}  // namespace
}  // namespace qel::installer
