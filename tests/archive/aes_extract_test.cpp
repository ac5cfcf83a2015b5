// WinZip AES entries as 7-Zip writes them (AE-2, AES-128 and AES-256, stored and deflated) and
// as AE-1: extracted byte for byte, a wrong password through the usual dialogue, damage caught
// by the authentication code before an existing file is replaced.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "archive/unzip.h"
#include "support/fixture_archives.h"
#include "support/scratch.h"

namespace qel::archive {
namespace {

using testing::ScratchDir;
using TSkips = std::vector<std::pair<std::int32_t, TSkipReason>>;

std::string Fixture(const std::string& name) { return testing::ReadHostFile(QEL_TEST_DATA_DIR "/aes/" + name); }

class AesExtraction : public ::testing::Test {
 public:
  // A component on the archive's bytes, extracting everything into out\ with the password.
  void Open(const std::string& bytes, const std::string& password = "secret") {
    Scratch.Write("in.zip", bytes);
    Zip.SetZipName(Scratch.Path() + "in.zip");
    Zip.SetDestDir(Scratch.Path() + "out");
    Zip.SetDoAll(true);
    Zip.SetPassword(password);
    Zip.OnSkippingFile = [this](base::TObject&, TSkipReason reason, std::int32_t i) {
      Skips.emplace_back(i, reason);
    };
  }

  ScratchDir Scratch;
  TUnZip Zip;
  TSkips Skips;
};

// The stored data offset of entry index, from its local header.
std::size_t DataOffset(const std::string& zip, std::size_t localHeader) {
  const auto le16 = [&](std::size_t at) { return static_cast<std::uint8_t>(zip[at]) | static_cast<std::uint8_t>(zip[at + 1]) << 8; };
  return localHeader + 30 + le16(localHeader + 26) + le16(localHeader + 28);
}

TEST_F(AesExtraction, EntriesComeOutAsTheyWentIn) {
  for (const char* archive : {"aes256.zip", "aes128_stored.zip", "ae1.zip"}) {
    SCOPED_TRACE(archive);
    Scratch.Write("out/small.txt", "");  // replaced like any file
    Open(Fixture(archive));
    Zip.SetOverwriteMode(TUZOverwriteMode::Always);
    EXPECT_EQ(Zip.UnZip(), 2);
    EXPECT_TRUE(Skips.empty());
    EXPECT_EQ(Scratch.Read("out/small.txt"), Fixture("small.txt"));
    EXPECT_EQ(Scratch.Read("out/text.txt"), Fixture("text.txt"));
  }
}

// The verifier says the password is wrong: asked again through OnBadPassword, skipped without
// a new one.
TEST_F(AesExtraction, AWrongPasswordIsAskedAgainOrSkipped) {
  Open(Fixture("aes256.zip"), "wrong");
  EXPECT_EQ(Zip.UnZip(), 0);
  EXPECT_EQ(Skips, (TSkips{{0, TSkipReason::srBadPassword}, {1, TSkipReason::srBadPassword}}));
  int asked = 0;
  Zip.OnBadPassword = [&](base::TObject&, std::int32_t, std::string& password) {
    ++asked;
    password = "secret";
  };
  Zip.SetPassword("wrong");
  EXPECT_EQ(Zip.UnZip(), 2);
  EXPECT_EQ(asked, 1);  // the password that fitted serves the second entry
  EXPECT_EQ(Scratch.Read("out/text.txt"), Fixture("text.txt"));
}

// A stored AE-2 entry has no CRC: one changed byte shows only in the authentication code. The
// entry is damaged and the file it would replace stays.
TEST_F(AesExtraction, DamageCaughtByTheCodeKeepsTheOldFile) {
  std::string zip = Fixture("aes256.zip");
  zip[DataOffset(zip, 0) + 16 + 2 + 3] ^= 0x20;  // past salt and verifier, in small.txt's data
  Scratch.Write("out/small.txt", "old");
  Open(zip);
  Zip.SetOverwriteMode(TUZOverwriteMode::Always);
  EXPECT_EQ(Zip.UnZip(), 1);
  EXPECT_EQ(Skips, (TSkips{{0, TSkipReason::srDamagedData}}));
  EXPECT_EQ(Scratch.Read("out/small.txt"), "old");
}

// A field of a version or strength this reader does not know leaves the entry an unknown method.
TEST_F(AesExtraction, AFieldNotUnderstoodLeavesTheMethodUnsupported) {
  std::string zip = Fixture("aes128_stored.zip");
  for (std::size_t at = zip.find("\x01\x99\x07\x00"); at != std::string::npos; at = zip.find("\x01\x99\x07\x00", at + 1)) {
    zip[at + 8] = 4;  // strength
  }
  Open(zip);
  EXPECT_EQ(Zip.UnZip(), 0);
  EXPECT_EQ(Skips, (TSkips{{0, TSkipReason::srUnsupportedMethod}, {1, TSkipReason::srUnsupportedMethod}}));
}

}  // namespace
}  // namespace qel::archive
