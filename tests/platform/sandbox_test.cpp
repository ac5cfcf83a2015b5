// The POSIX sandbox: its drives, the fresh system it lays out, labels and drive types.
#ifndef _WIN32

#include "platform/posix/sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"

namespace qel::platform {
namespace {

namespace fs = std::filesystem;

// A file of the sandbox folder that exists for one test.
class TSandboxFile final {
 public:
  TSandboxFile(const std::string& relName, const std::string& text) : FPath(posix::Sandbox().Root + "/" + relName) {
    fs::create_directories(FPath.parent_path());
    std::ofstream(FPath) << text;
  }
  ~TSandboxFile() { fs::remove(FPath); }
  TSandboxFile(const TSandboxFile&) = delete;
  TSandboxFile& operator=(const TSandboxFile&) = delete;

 private:
  fs::path FPath;
};

TEST(Sandbox, AFreshSystemHasItsFolders) {
  const posix::TSandboxLayout& layout = posix::Sandbox();
  EXPECT_EQ(layout.ProgramFilesDir, "C:\\Program Files");
  for (const std::string& folder : {layout.ProgramFilesDir, layout.WindowsDir, layout.ProgramsDir, std::string("X:\\")}) {
    EXPECT_TRUE(DirectoryExists(folder)) << folder;
  }
  EXPECT_TRUE(DirectoryExists("c:\\program files")) << "found ignoring case";
  EXPECT_EQ(layout.ProgramsDir.rfind(layout.ProfileDir + "\\Start Menu\\Programs", 0), 0u);
}

TEST(Sandbox, DriveXLivesInTheSandboxFolder) {
  const std::string folder = "X:\\platform-test\\Sub";
  ASSERT_TRUE(ForceDirectories(folder));
  const FileHandle file = FileCreate(folder + "\\File.txt");
  ASSERT_NE(file, InvalidFileHandle) << LastErrorText();
  FileClose(file);
  EXPECT_TRUE(fs::exists(posix::Sandbox().Root + "/drive_x/platform-test/Sub/File.txt"));
  fs::remove_all(posix::Sandbox().Root + "/drive_x/platform-test");
}

TEST(Sandbox, DriveTypesAndLabels) {
  EXPECT_EQ(GetDriveType("X:\\"), TDriveType::dtFixed);
  EXPECT_EQ(GetDriveType("c:\\"), TDriveType::dtFixed);
  EXPECT_EQ(GetDriveType("Z:\\"), TDriveType::dtFixed);
  EXPECT_EQ(GetDriveType("Q:\\"), TDriveType::dtNoRootDir);
  EXPECT_EQ(GetDriveType("not a root"), TDriveType::dtNoRootDir);
  EXPECT_EQ(GetVolumeLabel("X:\\"), "");
  EXPECT_FALSE(FileExists("Q:\\file.txt"));
  EXPECT_EQ(LastErrorCode(), ErrorPathNotFound);

  TSandboxFile label("labels/X", "BACKUP_002\n");
  TSandboxFile removable("removable/x", "");
  EXPECT_EQ(GetVolumeLabel("X:\\"), "BACKUP_002");
  EXPECT_EQ(GetVolumeLabel("x:"), "BACKUP_002");
  EXPECT_EQ(GetDriveType("X:\\"), TDriveType::dtRemovable);
  EXPECT_EQ(GetVolumeLabel("Q:\\"), "") << "no label for a drive that does not exist";
}

}  // namespace
}  // namespace qel::platform

#endif
