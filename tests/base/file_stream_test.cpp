#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"
#include "base/string_list.h"
#include "platform/files.h"

namespace qel::base {
namespace {

// A fresh folder below the current directory for the files of one test.
class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FDir = platform::GetCurrentDir() + "\\base_file_stream_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(platform::ForceDirectories(FDir)) << FDir;
  }
  void TearDown() override {
    for (const std::string& name : FCreated) platform::DeleteFile(name);
    platform::RemoveDir(FDir);
  }
  std::string Path(const std::string& name) {
    FCreated.push_back(FDir + "\\" + name);
    return FCreated.back();
  }
  static std::string ReadAll(const std::string& name) {
    TFileStream stream(name, platform::fmOpenRead | platform::fmShareDenyWrite);
    std::string text(static_cast<std::size_t>(stream.Size()), '\0');
    stream.ReadBuffer(text.data(), static_cast<std::int32_t>(text.size()));
    return text;
  }

  std::string FDir;
  std::vector<std::string> FCreated;
};

TEST_F(FileStreamTest, CreateTruncatesAndOpenReadsWhatWasWritten) {
  std::string name = Path("data.bin");
  {
    TFileStream stream(name, fmCreate);
    stream.WriteBuffer("first version, longer", 21);
  }
  {
    TFileStream stream(name, fmCreate);
    EXPECT_EQ(stream.Size(), 0);
    stream.WriteBuffer("0123456789", 10);
    EXPECT_EQ(stream.FileName(), name);
  }
  EXPECT_EQ(ReadAll(name), "0123456789");

  TFileStream stream(name, platform::fmOpenReadWrite);
  EXPECT_EQ(stream.Seek(-4, 2), 6);
  char buffer[8];
  EXPECT_EQ(stream.Read(buffer, 8), 4);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.SetSize(3);
  EXPECT_EQ(stream.Size(), 3);
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_THROW(stream.Seek(-1, 0), EStreamError);
}

TEST_F(FileStreamTest, WritingThroughAReadOnlyOpenFails) {
  std::string name = Path("readonly.bin");
  { TFileStream(name, fmCreate).WriteBuffer("abc", 3); }
  TFileStream stream(name, platform::fmOpenRead);
  EXPECT_EQ(stream.Write("x", 1), 0);
  EXPECT_THROW(stream.WriteBuffer("x", 1), EWriteError);
}

TEST_F(FileStreamTest, OpenAndCreateFailuresNameTheFullPathAndTheReason) {
  std::string missing = Path("missing.zip");
  try {
    TFileStream stream(missing, platform::fmOpenRead | platform::fmShareDenyWrite);
    FAIL();
  } catch (const EFOpenError& e) {
    std::string prefix = "Cannot open file \"" + platform::ExpandFileName(missing) + "\". ";
    EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
    EXPECT_GT(e.Message().size(), prefix.size()) << "no reason given";
  }
  std::string noFolder = FDir + "\\no such folder\\out.txt";
  try {
    TFileStream stream(noFolder, fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    std::string prefix = "Cannot create file \"" + platform::ExpandFileName(noFolder) + "\". ";
    EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
    EXPECT_GT(e.Message().size(), prefix.size()) << "no reason given";
  }
  // Open errors and create errors are both stream errors to a caller that does not care which.
  EXPECT_THROW(TFileStream(missing, platform::fmOpenRead), EStreamError);
}

TEST_F(FileStreamTest, StringListFileRoundTripUsesCrLf) {
  std::string name = Path("install.dat");
  TStringList list;
  list.Add("DoVra.exe");
  list.Add("Docs\\");
  list.Add("Docs\\readme.txt");
  list.SaveToFile(name);
  EXPECT_EQ(ReadAll(name), "DoVra.exe\r\nDocs\\\r\nDocs\\readme.txt\r\n");
  TStringList loaded;
  loaded.Add("replaced");
  loaded.LoadFromFile(name);
  ASSERT_EQ(loaded.Count(), 3);
  EXPECT_EQ(loaded.Strings(2), "Docs\\readme.txt");
  EXPECT_THROW(loaded.LoadFromFile(Path("absent.dat")), EFOpenError);
}

}  // namespace
}  // namespace qel::base
