#include "archive/codecs/zip_cipher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qel::codecs {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Le(const Bytes& b, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | b.at(at + static_cast<std::size_t>(i));
  return value;
}

// The first entry of a one-entry stored archive made by another program with a password,
// cut into its encryption header and its encrypted data.
struct EncryptedEntry {
  std::uint16_t Flags = 0;
  std::uint32_t FileDate = 0;
  std::uint32_t Crc = 0;
  TEncryptionHeader Header{};
  Bytes Data;
};

EncryptedEntry ReadFixture(const std::string& name) {
#ifdef _WIN32
  const std::string prefix = "Z:";  // the machine's root as Wine's drive
#else
  const std::string prefix;
#endif
  std::ifstream file(prefix + QEL_TEST_DATA_DIR + "/cipher/" + name, std::ios::binary);
  const Bytes zip{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  EncryptedEntry entry;
  entry.Flags = static_cast<std::uint16_t>(Le(zip, 6, 2));
  entry.FileDate = Le(zip, 10, 4);
  entry.Crc = Le(zip, 14, 4);
  const std::size_t compressedSize = Le(zip, 18, 4);
  const std::size_t dataStart = 30 + Le(zip, 26, 2) + Le(zip, 28, 2);
  if (compressedSize < EncryptionHeaderSize || dataStart + compressedSize > zip.size()) {
    ADD_FAILURE() << name << " is not the fixture expected";
    return entry;
  }
  std::copy_n(zip.begin() + static_cast<std::ptrdiff_t>(dataStart), EncryptionHeaderSize, entry.Header.begin());
  entry.Data.assign(zip.begin() + static_cast<std::ptrdiff_t>(dataStart + EncryptionHeaderSize),
                    zip.begin() + static_cast<std::ptrdiff_t>(dataStart + compressedSize));
  return entry;
}

const std::string FixtureText = "Qel Orvane cipher check\n";

// Archives written by Info-ZIP zip (flag bit 3 set, so the check byte is the time's) and by
// 7-Zip (no data descriptor, so it is the CRC's); one password has a byte of the upper half.
TEST(ZipCipher, DecryptsEntriesOfOtherPrograms) {
  const struct {
    const char* Fixture;
    std::string Password;
    bool TimeCheck;
  } cases[] = {
      {"infozip_secret.zip", "secret", true},
      {"infozip_high_password.zip", "p\xE4ss", true},
      {"7z_secret.zip", "secret", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Fixture);
    EncryptedEntry entry = ReadFixture(c.Fixture);
    EXPECT_EQ((entry.Flags & 8) != 0, c.TimeCheck);
    TZipCipher cipher;
    const std::uint8_t check = cipher.DecryptHeader(c.Password, entry.Header);
    EXPECT_EQ(check, ExpectedCheckByte(entry.Flags, entry.Crc, entry.FileDate));
    cipher.DecryptBlock(entry.Data.data(), entry.Data.size());
    EXPECT_EQ(std::string(entry.Data.begin(), entry.Data.end()), FixtureText);
  }
}

TEST(ZipCipher, WrongPasswordsFailTheCheckAndGarbleTheData) {
  for (const std::string password : {"", "Secret", "secret ", "secre", "p\xC4ss"}) {
    SCOPED_TRACE(password);
    EncryptedEntry entry = ReadFixture("infozip_secret.zip");
    TZipCipher cipher;
    const bool checkPasses =
        cipher.DecryptHeader(password, entry.Header) == ExpectedCheckByte(entry.Flags, entry.Crc, entry.FileDate);
    cipher.DecryptBlock(entry.Data.data(), entry.Data.size());
    EXPECT_FALSE(checkPasses);
    EXPECT_NE(std::string(entry.Data.begin(), entry.Data.end()), FixtureText);
  }
}

TEST(ZipCipher, ExpectedCheckByteFollowsTheDataDescriptorFlag) {
  const std::uint32_t crc = 0xA1B2C3D4u;
  const std::uint32_t fileDate = 0x5022'6883u;  // date in the high word, time in the low one
  EXPECT_EQ(ExpectedCheckByte(0x0001, crc, fileDate), 0xA1);
  EXPECT_EQ(ExpectedCheckByte(0x0009, crc, fileDate), 0x68);
  EXPECT_EQ(ExpectedCheckByte(0x0008, crc, fileDate), 0x68);
  EXPECT_EQ(ExpectedCheckByte(0x0807, crc, fileDate), 0xA1);  // other bits do not count
}

// The inverse of decryption, as a writer does it: the key stream comes first, the keys
// then advance with the plain byte.
Bytes Encrypt(const std::string& password, const Bytes& plain) {
  TZipCipher cipher;
  cipher.SetupKeys(password);
  Bytes out;
  for (const std::uint8_t p : plain) {
    out.push_back(static_cast<std::uint8_t>(p ^ cipher.KeyStreamByte()));
    cipher.UpdateKeys(p);
  }
  return out;
}

// A stored entry of 40000 bytes reaches the cipher in blocks of 16000, 16000 and 8000; the
// key stream must run on across them and from the header into the data.
TEST(ZipCipher, KeyStreamRunsOnAcrossHeaderAndBlocks) {
  for (const std::string password : {"", "secret", "p\xE4ss"}) {
    SCOPED_TRACE(password);
    Bytes plain(EncryptionHeaderSize + 40000);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    plain[EncryptionHeaderSize - 1] = 0x5B;  // the check byte the writer put in
    const Bytes encrypted = Encrypt(password, plain);

    TEncryptionHeader header;
    std::copy_n(encrypted.begin(), EncryptionHeaderSize, header.begin());
    TZipCipher cipher;
    EXPECT_EQ(cipher.DecryptHeader(password, header), 0x5B);
    Bytes data(encrypted.begin() + EncryptionHeaderSize, encrypted.end());
    for (std::size_t at = 0; at < data.size(); at += 16000) {
      cipher.DecryptBlock(data.data() + at, std::min<std::size_t>(16000, data.size() - at));
    }
    EXPECT_TRUE(std::equal(data.begin(), data.end(), plain.begin() + EncryptionHeaderSize));
  }
}

TEST(ZipCipher, SetupStartsAfreshFromTheConstants) {
  TZipCipher cipher;
  cipher.SetupKeys("secret");
  cipher.DecryptByte(0x42);
  cipher.SetupKeys("");
  EXPECT_EQ(cipher.Key0(), 0x12345678u);
  EXPECT_EQ(cipher.Key1(), 0x23456789u);
  EXPECT_EQ(cipher.Key2(), 0x34567890u);
  const TZipCipher fresh;
  EXPECT_EQ(fresh.KeyStreamByte(), cipher.KeyStreamByte());
}

}  // namespace
}  // namespace qel::codecs
