#include "archive/lfn_file_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"
#include "support/exception_message.h"
#include "platform/files.h"

namespace qel::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t ReadShareRead = 0x20;
constexpr std::uint32_t ReadExclusive = 0x00;

class LFNFileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FFolder = std::string("C:\\streams-test\\") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(platform::ForceDirectories(FFolder));
  }
  std::string PathOf(const std::string& name) const { return FFolder + "\\" + name; }

  Bytes ReadAll(const std::string& path) {
    TLFNFileStream stream(path, ReadShareRead);
    Bytes bytes(static_cast<std::size_t>(stream.Size()));
    stream.ReadBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    return bytes;
  }

  std::string FFolder;
};

TEST_F(LFNFileStreamTest, PendingBytesReachTheFileBeforeItCloses) {
  const std::string path = PathOf("out.bin");
  Bytes data(20000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  {
    TLFNFileStream stream(path, base::fmCreate);
    EXPECT_NE(stream.Handle(), platform::InvalidFileHandle);
    stream.WriteBuffer(data.data(), static_cast<std::int32_t>(data.size()));
    EXPECT_EQ(stream.Size(), 20000);
  }
  EXPECT_EQ(ReadAll(path), data);

  // Creating again truncates.
  { TLFNFileStream stream(path, base::fmCreate); stream.WriteBuffer("abc", 3); }
  EXPECT_EQ(ReadAll(path), (Bytes{'a', 'b', 'c'}));
}

TEST_F(LFNFileStreamTest, OpenAndCreateFailuresNameTheFile) {
  const std::string missing = PathOf("missing.zip");
  const std::string opened = qel::testing::MessageOf<base::EFOpenError>([&] { TLFNFileStream s(missing, ReadShareRead); });
  EXPECT_EQ(opened.rfind("Cannot open file \"" + platform::ExpandFileName(missing) + "\". ", 0), 0u) << opened;
  EXPECT_FALSE(platform::FileExists(missing));

  const std::string badFolder = PathOf("no-such-folder\\x.bin");
  const std::string created = qel::testing::MessageOf<base::EFCreateError>([&] { TLFNFileStream s(badFolder, base::fmCreate); });
  EXPECT_EQ(created.rfind("Cannot create file \"" + platform::ExpandFileName(badFolder) + "\". ", 0), 0u) << created;
}

TEST_F(LFNFileStreamTest, InvalidModesFailToOpen) {
  const std::string path = PathOf("data.bin");
  { TLFNFileStream stream(path, base::fmCreate); stream.WriteBuffer("xyz", 3); }
  for (std::uint32_t mode : {0x03u, 0x23u, 0x50u, 0xF2u, 0xFFFEu}) {
    SCOPED_TRACE(mode);
    const std::string message = qel::testing::MessageOf<base::EFOpenError>([&] { TLFNFileStream s(path, mode); });
    EXPECT_EQ(message.rfind("Cannot open file \"" + platform::ExpandFileName(path) + "\". ", 0), 0u) << message;
  }
  EXPECT_EQ(ReadAll(path), (Bytes{'x', 'y', 'z'}));
  // Bits outside the access and sharing fields are not looked at.
  EXPECT_NO_THROW((TLFNFileStream{path, 0x0100 | ReadShareRead}));
}

TEST_F(LFNFileStreamTest, SharingBitsDecideWhoElseMayOpen) {
  const std::string path = PathOf("shared.zip");
  { TLFNFileStream stream(path, base::fmCreate); stream.WriteBuffer("PK", 2); }
  {
    // The archive's mode: others may read, nobody may write or truncate.
    TLFNFileStream archive(path, ReadShareRead);
    EXPECT_NO_THROW((TLFNFileStream{path, ReadShareRead}));
    EXPECT_THROW((TLFNFileStream{path, base::fmCreate}), base::EFCreateError);
  }
  {
    TLFNFileStream disk(path, ReadExclusive);
    EXPECT_THROW((TLFNFileStream{path, ReadShareRead}), base::EFOpenError);
  }
  { TLFNFileStream writable(path, 0x42); writable.Seek(0, 2); writable.WriteBuffer("!", 1); }
  EXPECT_EQ(ReadAll(path), (Bytes{'P', 'K', '!'}));
}

}  // namespace
}  // namespace qel::archive
