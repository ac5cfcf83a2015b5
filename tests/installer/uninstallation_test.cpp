#include "installer/uninstallation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/scratch.h"

namespace qel::installer {
namespace {

using TNames = std::vector<std::string>;

class TRecordingHost final : public TUserDialogue, public TProgressSink {
 public:
  bool Ask(const std::string&) override { return true; }
  void Tell(const std::string& notice, const std::string&, TNoticeKind) override { Notices.push_back(notice); }
  void FileStarted(const std::string&, std::int32_t number, std::int32_t) override { Started.push_back(number); }
  void FilePercentDone(std::int32_t) override {}
  void TotalPercentDone(std::int32_t percent) override { Totals.push_back(percent); }

  TNames Notices;
  std::vector<std::int32_t> Started;
  std::vector<std::int32_t> Totals;
};

// Hundreds of files in nested folders, one line repeated in other letters: every file and
// folder goes, but the one the user added and the folders that hold it; the progress runs
// up to 100 in batches.
TEST(Uninstallation, RemovesAWholeTreeButTheUsersFileWithProgress) {
  testing::ScratchDir target;
  std::string manifest;
  for (int top = 0; top < 10; ++top) {
    const std::string folder = "D" + std::to_string(top) + "\\";
    manifest += folder + "\r\n";
    for (int sub = 0; sub < 10; ++sub) {
      const std::string below = folder + "S" + std::to_string(sub) + "\\";
      manifest += below + "\r\n";
      for (int file = 0; file < 3; ++file) {
        const std::string name = below + "f" + std::to_string(file) + ".txt";
        target.Write("Suite\\" + name, "x");
        manifest += name + "\r\n";
      }
    }
  }
  manifest += "d0\\s0\\F0.TXT\r\n";
  target.Write("Suite\\install.dat", manifest);
  target.Write("Suite\\Install.exe", "the installer");
  target.Write("Suite\\D3\\S4\\mine.txt", "the user's");
  TRecordingHost host;
  TUninstallation uninstallation(target.Path() + "Suite\\Install.exe", host, &host);
  uninstallation.Run();
  EXPECT_EQ(host.Notices, TNames{"Uninstalling is completed."});
  EXPECT_EQ(target.Names("Suite"), TNames{"D3"});
  EXPECT_EQ(target.Names("Suite\\D3"), TNames{"S4"});
  EXPECT_EQ(target.Names("Suite\\D3\\S4"), TNames{"mine.txt"});
  EXPECT_GT(host.Started.size(), 1u);
  EXPECT_TRUE(std::is_sorted(host.Totals.begin(), host.Totals.end()));
  ASSERT_FALSE(host.Totals.empty());
  EXPECT_EQ(host.Totals.back(), 100);
}

}  // namespace
}  // namespace qel::installer
