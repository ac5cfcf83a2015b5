// Real archives made by PKZIP for DOS and hwzip: every shrunk, reduced and imploded entry
// must come out with its stored CRC and exactly the bytes of the original file.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archive/codecs/explode.h"
#include "archive/codecs/unreduce.h"
#include "archive/codecs/unshrink.h"
#include "codecs/legacy_test_host.h"
#include "support/zip_builder.h"

namespace qel::testing {
namespace {

struct ArchiveEntry {
  std::string Name;
  std::uint16_t Flags = 0;
  std::uint16_t Method = 0;
  std::uint32_t Crc = 0;
  CodecBytes Compressed;
  std::uint32_t UncompressedSize = 0;
};

std::uint32_t Le16(const CodecBytes& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
std::uint32_t Le32(const CodecBytes& b, std::size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

// The entries as the central directory lists them, each with its data cut out behind its local
// header (whose name and extra lengths may differ from the central ones).
std::vector<ArchiveEntry> ReadEntries(const CodecBytes& zip) {
  constexpr std::uint32_t EndSignature = 0x06054B50;
  constexpr std::uint32_t CentralSignature = 0x02014B50;
  constexpr std::uint32_t LocalSignature = 0x04034B50;
  std::size_t end = zip.size() >= 22 ? zip.size() - 22 : 0;
  while (end > 0 && Le32(zip, end) != EndSignature) {
    --end;
  }
  EXPECT_EQ(Le32(zip, end), EndSignature);
  std::vector<ArchiveEntry> entries;
  std::size_t at = Le32(zip, end + 16);
  for (std::uint32_t i = 0, count = Le16(zip, end + 10); i < count; ++i) {
    EXPECT_EQ(Le32(zip, at), CentralSignature);
    ArchiveEntry entry;
    entry.Flags = static_cast<std::uint16_t>(Le16(zip, at + 8));
    entry.Method = static_cast<std::uint16_t>(Le16(zip, at + 10));
    entry.Crc = Le32(zip, at + 16);
    const std::uint32_t compressedSize = Le32(zip, at + 20);
    entry.UncompressedSize = Le32(zip, at + 24);
    const std::uint32_t nameLength = Le16(zip, at + 28);
    entry.Name.assign(zip.begin() + static_cast<std::ptrdiff_t>(at + 46),
                      zip.begin() + static_cast<std::ptrdiff_t>(at + 46 + nameLength));
    const std::size_t local = Le32(zip, at + 42);
    EXPECT_EQ(Le32(zip, local), LocalSignature);
    const std::size_t data = local + 30 + Le16(zip, local + 26) + Le16(zip, local + 28);
    entry.Compressed.assign(zip.begin() + static_cast<std::ptrdiff_t>(data),
                            zip.begin() + static_cast<std::ptrdiff_t>(data + compressedSize));
    entries.push_back(std::move(entry));
    at += 46 + nameLength + Le16(zip, at + 30) + Le16(zip, at + 32);
  }
  return entries;
}

// Runs the method an entry names; a stored entry is copied as it is.
LegacyResult Extract(LegacyDecoder& decoder, const ArchiveEntry& entry) {
  const auto size = static_cast<std::int32_t>(entry.UncompressedSize);
  switch (entry.Method) {
    case 0: {
      LegacyResult stored;
      stored.Output = entry.Compressed;
      stored.Crc = Crc32(entry.Compressed);
      return stored;
    }
    case 1: return decoder.Run(entry.Compressed, size, [](codecs::TUnzipFrame& f) { return codecs::Unshrink(f); });
    case 6:
      return decoder.Run(entry.Compressed, size,
                         [&](codecs::TUnzipFrame& f) { return codecs::Explode(f, entry.Flags); });
    default:
      return decoder.Run(entry.Compressed, size,
                         [&](codecs::TUnzipFrame& f) { return codecs::Unreduce(f, entry.Method); });
  }
}

std::string FileOf(const std::string& entryName) {
  std::string upper;
  for (char c : entryName) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return upper == "FIRST.TXT" ? "first.out" : upper;
}

TEST(LegacyArchives, EveryEntryExtractsWithItsCrcAndBytes) {
  struct Case {
    const char* Archive;
    std::vector<std::uint16_t> Methods;  // of the entries, in directory order
  };
  const Case cases[] = {
      {"shrink.zip", {1}},          {"reduce.zip", {5}},       {"implode.zip", {6}},
      {"HWSHRINK.ZIP", {1, 1, 1}}, {"HWREDUCE.ZIP", {5, 0, 5}}, {"HWIMPODE.ZIP", {6, 6, 6}},
  };
  // One frame for all of them, as one extraction run: nothing may depend on what an earlier
  // entry left in the window.
  LegacyDecoder decoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Archive);
    const CodecBytes zip = LegacyFixture(c.Archive);
    ASSERT_FALSE(zip.empty());
    const std::vector<ArchiveEntry> entries = ReadEntries(zip);
    ASSERT_EQ(entries.size(), c.Methods.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const ArchiveEntry& entry = entries[i];
      SCOPED_TRACE(entry.Name);
      EXPECT_EQ(entry.Method, c.Methods[i]);
      const LegacyResult result = Extract(decoder, entry);
      EXPECT_EQ(result.Status, codecs::TCodecStatus::Ok);
      EXPECT_EQ(result.Crc, entry.Crc);
      EXPECT_EQ(result.Output.size(), entry.UncompressedSize);
      EXPECT_EQ(result.Output, LegacyFixture(FileOf(entry.Name)));
    }
  }
}

TEST(LegacyArchives, BareStreamsDecodeToTheirFiles) {
  LegacyDecoder decoder;
  const CodecBytes hamlet = LegacyFixture("hamlet_2048.out");
  ASSERT_EQ(hamlet.size(), 2048u);

  const CodecBytes imploded = LegacyFixture("implode_hamlet_256.out");
  const LegacyResult exploded = decoder.Run(LegacyFixture("implode_hamlet_256.bin"), 256,
                                            [](codecs::TUnzipFrame& f) { return codecs::Explode(f, 0); });
  EXPECT_EQ(exploded.Status, codecs::TCodecStatus::Ok);
  EXPECT_EQ(exploded.Output, imploded);

  const LegacyResult reduced = decoder.Run(LegacyFixture("reduce4_hamlet_2048.bin"), 2048,
                                           [](codecs::TUnzipFrame& f) { return codecs::Unreduce(f, 5); });
  EXPECT_EQ(reduced.Status, codecs::TCodecStatus::Ok);
  EXPECT_EQ(reduced.Output, hamlet);

  // Its copies reach before the first byte: they must give zeros, whatever the window held.
  CodecBytes withZeros = hamlet;
  withZeros.resize(3072, 0);
  const LegacyResult zeros = decoder.Run(LegacyFixture("reduce4_hamlet_2048_zeros_1024.bin"), 3072,
                                         [](codecs::TUnzipFrame& f) { return codecs::Unreduce(f, 5); });
  EXPECT_EQ(zeros.Status, codecs::TCodecStatus::Ok);
  EXPECT_EQ(zeros.Output, withZeros);
}

}  // namespace
}  // namespace qel::testing
