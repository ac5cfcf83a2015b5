#include "archive/zip_header_info.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "archive/end_central.h"
#include "archive/stored_name.h"
#include "base/exceptions.h"
#include "base/stream.h"
#include "support/exception_message.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

using testing::Bytes;
using testing::PutLe16;
using testing::PutLe32;

// A central header with a distinct value in every field, so a field read from the wrong
// offset shows.
Bytes HandCentralHeader(std::string_view name, std::uint16_t extraLength, std::uint16_t commentLength) {
  Bytes h;
  PutLe32(h, 0x02014B50);
  PutLe16(h, 0x0314);      // version made by
  PutLe16(h, 0x0014);      // version needed
  PutLe16(h, 0x0009);      // flags: encrypted, data descriptor
  PutLe16(h, 0x0006);      // method
  PutLe16(h, 0x6B3D);      // time
  PutLe16(h, 0x2A51);      // date
  PutLe32(h, 0xCAFEBABE);  // CRC
  PutLe32(h, 0x80000001);  // compressed size, negative as a signed number
  PutLe32(h, 0x00012345);  // uncompressed size
  PutLe16(h, static_cast<std::uint16_t>(name.size()));
  PutLe16(h, extraLength);
  PutLe16(h, commentLength);
  PutLe16(h, 0x0003);      // disk number start
  PutLe16(h, 0x0101);      // internal attributes
  PutLe32(h, 0x81A40021);  // external attributes
  PutLe32(h, 0x00054321);  // local header offset
  h.insert(h.end(), name.begin(), name.end());
  h.insert(h.end(), extraLength + commentLength, 'x');
  return h;
}

Bytes HandLocalHeader(std::string_view name, std::uint16_t extraLength) {
  Bytes h;
  PutLe32(h, 0x04034B50);
  PutLe16(h, 0x000A);      // version needed
  PutLe16(h, 0x0008);      // flags
  PutLe16(h, 0x0008);      // method
  PutLe16(h, 0x1234);      // time
  PutLe16(h, 0x5678);      // date
  PutLe32(h, 0x11223344);  // CRC
  PutLe32(h, 0x00000102);  // compressed size
  PutLe32(h, 0x00000304);  // uncompressed size
  PutLe16(h, static_cast<std::uint16_t>(name.size()));
  PutLe16(h, extraLength);
  h.insert(h.end(), name.begin(), name.end());
  h.insert(h.end(), extraLength, 'e');
  return h;
}

// The bytes behind some leading junk, with the stream placed on the header.
base::TMemoryStream StreamAt(const Bytes& header, std::size_t junk) {
  Bytes bytes(junk, '?');
  bytes.insert(bytes.end(), header.begin(), header.end());
  bytes.insert(bytes.end(), {'N', 'E', 'X', 'T'});
  base::TMemoryStream stream(bytes);
  stream.SetPosition(static_cast<std::int64_t>(junk));
  return stream;
}

TEST(ZipHeaderInfo, CentralHeaderFieldsComeFromTheirOffsets) {
  base::TMemoryStream stream = StreamAt(HandCentralHeader("docs/readme.txt", 3, 5), 7);
  TZipHeaderInfo entry;
  entry.Selected = true;
  ASSERT_TRUE(entry.ReadCentral(stream));

  EXPECT_EQ(entry.VersionMadeBy, 0x0314);
  EXPECT_EQ(entry.VersionNeeded, 0x0014);
  EXPECT_EQ(entry.Flags, 0x0009);
  EXPECT_EQ(entry.CompressionMethod, 6);
  EXPECT_EQ(entry.FileDate, 0x2A516B3Du);
  EXPECT_EQ(entry.Crc32, 0xCAFEBABEu);
  EXPECT_EQ(entry.CompressedSize, 0x80000001);  // sizes are 64 bits wide: 2 GiB and more stay positive
  EXPECT_EQ(entry.UncompressedSize, 0x12345);
  EXPECT_EQ(entry.FileNameLength, 15);
  EXPECT_EQ(entry.ExtraFieldLength, 3);
  EXPECT_EQ(entry.FileCommentLength, 5);
  EXPECT_EQ(entry.DiskNumberStart, 3);
  EXPECT_EQ(entry.InternalAttributes, 0x0101);
  EXPECT_EQ(entry.ExternalAttributes, 0x81A40021u);
  EXPECT_EQ(entry.LocalHeaderOffset, 0x54321u);
  EXPECT_EQ(entry.CentralHeaderOffset, 7u);
  EXPECT_EQ(entry.Directory(), "docs\\");
  EXPECT_EQ(entry.FileName(), "readme.txt");
  EXPECT_FALSE(entry.FileComment().has_value());  // loaded only on demand
  EXPECT_FALSE(entry.Selected);
  EXPECT_TRUE(entry.Encrypted());
  EXPECT_TRUE(entry.HasDataDescriptor());
  EXPECT_TRUE(entry.HasComment());
  EXPECT_EQ(entry.CentralSize(), 46 + 15 + 3 + 5);
  // Past the extra field and the comment: on the next header.
  EXPECT_EQ(stream.Position(), 7 + 46 + 15 + 3 + 5);
}

TEST(ZipHeaderInfo, LocalHeaderLeavesTheStreamAfterTheName) {
  base::TMemoryStream stream = StreamAt(HandLocalHeader("bin/tool.exe", 4), 11);
  TZipHeaderInfo entry;
  entry.VersionMadeBy = 99;
  entry.CentralHeaderOffset = 99;
  ASSERT_TRUE(entry.ReadLocal(stream));

  EXPECT_EQ(entry.VersionMadeBy, 0);
  EXPECT_EQ(entry.VersionNeeded, 10);
  EXPECT_EQ(entry.Flags, 8);
  EXPECT_EQ(entry.CompressionMethod, 8);
  EXPECT_EQ(entry.FileDate, 0x56781234u);
  EXPECT_EQ(entry.Crc32, 0x11223344u);
  EXPECT_EQ(entry.CompressedSize, 0x102);
  EXPECT_EQ(entry.UncompressedSize, 0x304);
  EXPECT_EQ(entry.ExtraFieldLength, 4);
  EXPECT_EQ(entry.FileCommentLength, 0);
  EXPECT_EQ(entry.InternalAttributes, 0);
  EXPECT_EQ(entry.ExternalAttributes, 0u);
  EXPECT_EQ(entry.LocalHeaderOffset, 11u);
  EXPECT_EQ(entry.CentralHeaderOffset, 0u);
  EXPECT_EQ(entry.Directory(), "bin\\");
  EXPECT_EQ(entry.FileName(), "tool.exe");
  EXPECT_EQ(entry.LocalSize(), 30 + 12 + 4);
  EXPECT_EQ(stream.Position(), 11 + 30 + 12);  // the extra field is the caller's to skip
}

TEST(ZipHeaderInfo, UnreadableHeadersLeaveTheStreamWhereItWas) {
  Bytes central = HandCentralHeader("a.txt", 0, 0);
  Bytes local = HandLocalHeader("a.txt", 0);
  Bytes shortCentral(central.begin(), central.begin() + 45);
  Bytes shortLocal(local.begin(), local.begin() + 29);
  Bytes centralShortName(central.begin(), central.end() - 1);
  Bytes localShortName(local.begin(), local.end() - 1);
  Bytes centralWrongSignature = central;
  centralWrongSignature[3] = 0x03;  // a local signature where a central one belongs
  Bytes localWrongSignature = local;
  localWrongSignature[2] = 0x01;
  const struct {
    const char* what;
    Bytes bytes;
    bool central;
  } cases[] = {
      {"central, short header", shortCentral, true},
      {"central, short name", centralShortName, true},
      {"central, wrong signature", centralWrongSignature, true},
      {"central, empty stream", {}, true},
      {"local, short header", shortLocal, false},
      {"local, short name", localShortName, false},
      {"local, wrong signature", localWrongSignature, false},
  };
  for (const auto& c : cases) {
    Bytes bytes(5, '?');
    bytes.insert(bytes.end(), c.bytes.begin(), c.bytes.end());  // nothing after: the cut is real
    base::TMemoryStream stream(bytes);
    stream.SetPosition(5);
    TZipHeaderInfo entry;
    const bool read = c.central ? entry.ReadCentral(stream) : entry.ReadLocal(stream);
    EXPECT_FALSE(read) << c.what;
    EXPECT_EQ(stream.Position(), 5) << c.what;
  }
}

TEST(ZipHeaderInfo, CentralHeaderContinuesOnTheNextDisk) {
  const Bytes header = HandCentralHeader("dir/file.bin", 2, 0);
  for (const std::size_t cut : {std::size_t{0}, std::size_t{2}, std::size_t{20}}) {
    base::TMemoryStream first(Bytes(header.begin(), header.begin() + static_cast<std::ptrdiff_t>(cut)));
    // The next disk is handed over standing after three bytes.
    // (Byte by byte: GCC 12 misreads the bounds of a range copy or insert here.)
    Bytes rest(3, '#');
    for (std::size_t i = cut; i < header.size(); ++i) rest.push_back(header[i]);
    base::TMemoryStream second(rest);
    second.SetPosition(3);
    int calls = 0;
    TZipHeaderInfo entry;
    ASSERT_TRUE(entry.ReadCentral(first, [&]() -> base::TStream* {
      ++calls;
      return &second;
    })) << cut;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(entry.FileName(), "file.bin");
    EXPECT_EQ(entry.DiskNumberStart, 3);
    EXPECT_EQ(second.Position(), static_cast<std::int64_t>(rest.size()));
    // A header read whole from the new disk is found there when its comment is loaded.
    EXPECT_EQ(entry.CentralHeaderOffset, cut == 0 ? 3u : 0u) << cut;
  }
}

TEST(ZipHeaderInfo, NextDiskIsOnlyAskedForACutHeader) {
  const struct {
    const char* what;
    Bytes bytes;
    bool readable;
  } cases[] = {
      {"bytes that are not a header", Bytes(20, 'z'), false},
      {"a whole header", HandCentralHeader("a", 0, 0), true},
  };
  for (const auto& c : cases) {
    base::TMemoryStream stream(c.bytes);
    int calls = 0;
    TZipHeaderInfo entry;
    EXPECT_EQ(entry.ReadCentral(stream, [&]() -> base::TStream* {
      ++calls;
      return nullptr;
    }), c.readable) << c.what;
    EXPECT_EQ(calls, 0) << c.what;
  }
  // A next disk that cannot be had ends the directory without touching the old stream.
  base::TMemoryStream empty;
  TZipHeaderInfo entry;
  EXPECT_FALSE(entry.ReadCentral(empty, [] { return static_cast<base::TStream*>(nullptr); }));
}

TEST(ZipHeaderInfo, NameSplitsIntoDirectoryAndFileName) {
  const struct {
    const char* stored;
    const char* directory;
    const char* fileName;
    std::uint16_t length;
  } cases[] = {
      {"a/b/c.txt", "a\\b\\", "c.txt", 9},
      {"c.txt", "", "c.txt", 5},
      {"a/", "a\\", "", 2},
      {"c:x", "c:\\", "x", 4},  // the directory gains a closing "\"
  };
  for (const auto& c : cases) {
    base::TMemoryStream stream(HandCentralHeader(c.stored, 0, 0));
    TZipHeaderInfo entry;
    ASSERT_TRUE(entry.ReadCentral(stream)) << c.stored;
    EXPECT_EQ(entry.Directory(), c.directory) << c.stored;
    EXPECT_EQ(entry.FileName(), c.fileName) << c.stored;
    EXPECT_EQ(entry.FileNameLength, c.length) << c.stored;
  }
}

// Unix writers store UTF-8 names without flag bit 11: from them a well-formed UTF-8 name is
// read as UTF-8; anything else, and every name from other systems, stays code page 437.
TEST(ZipHeaderInfo, UnflaggedUtf8NamesFromUnixAreReadAsUtf8) {
  const struct {
    std::uint8_t host;
    const char* stored;
    const char* path;  // nullptr: read as code page 437
  } cases[] = {
      {3, "\xE8\x93\xAE/x.txt", "\xE8\x93\xAE\\x.txt"},  // "蓮/x.txt"
      {3, "caf\xC3\xA9.txt", "caf\xC3\xA9.txt"},
      {0, "caf\xC3\xA9.txt", nullptr},
      {3, "caf\x82.txt", nullptr},       // code page 437 "é": no UTF-8
      {3, "\xC0\xAF.txt", nullptr},      // an overlong "/"
      {3, "\xED\xA0\x80.txt", nullptr},  // a surrogate
      {3, "plain.txt", "plain.txt"},
  };
  for (const auto& c : cases) {
    Bytes header = HandCentralHeader(c.stored, 0, 0);
    header[5] = c.host;
    base::TMemoryStream stream(header);
    TZipHeaderInfo entry;
    ASSERT_TRUE(entry.ReadCentral(stream)) << c.stored;
    EXPECT_EQ(entry.Directory() + entry.FileName(), c.path ? std::string(c.path) : ConvertStoredName(c.stored))
        << c.stored;
  }
}

TEST(ZipHeaderInfo, SettersKeepNameLengthAndCommentLength) {
  TZipHeaderInfo entry;
  EXPECT_EQ(entry.VersionMadeBy, 20);
  EXPECT_EQ(entry.CompressionMethod, 8);
  EXPECT_EQ(entry.Crc32, 0xFFFFFFFFu);
  EXPECT_EQ(entry.InternalAttributes, 1);
  EXPECT_EQ(entry.ExternalAttributes, 0x20u);
  entry.SetDirectory("sub");
  EXPECT_EQ(entry.Directory(), "sub\\");
  entry.SetFileName("name.txt");
  EXPECT_EQ(entry.FileNameLength, 12);
  entry.SetDirectory("");
  EXPECT_EQ(entry.FileNameLength, 8);
  entry.SetFileComment("remark");
  EXPECT_EQ(entry.FileCommentLength, 6);
  EXPECT_TRUE(entry.HasComment());
  entry.SetFileComment(std::nullopt);
  EXPECT_EQ(entry.FileCommentLength, 0);
  EXPECT_FALSE(entry.FileComment().has_value());
  entry.Clear();
  EXPECT_EQ(entry.FileName(), "");
  EXPECT_EQ(entry.FileNameLength, 0);
}

TEST(ZipHeaderInfo, AssignCopiesEntriesAndRefusesOtherClasses) {
  base::TMemoryStream stream(HandCentralHeader("x/y.dat", 0, 4));
  TZipHeaderInfo source;
  ASSERT_TRUE(source.ReadCentral(stream));
  source.Selected = true;

  // An unloaded comment leaves the target's own text in place.
  TZipHeaderInfo target;
  target.SetFileComment("kept");
  target.Assign(source);
  EXPECT_EQ(target.Directory(), "x\\");
  EXPECT_EQ(target.FileName(), "y.dat");
  EXPECT_EQ(target.FileNameLength, 7);
  EXPECT_EQ(target.Crc32, source.Crc32);
  EXPECT_EQ(target.LocalHeaderOffset, source.LocalHeaderOffset);
  EXPECT_EQ(target.CentralHeaderOffset, source.CentralHeaderOffset);
  EXPECT_EQ(target.FileCommentLength, 4);
  EXPECT_EQ(target.FileComment(), std::optional<std::string>("kept"));
  EXPECT_TRUE(target.Selected);

  // A loaded one is copied.
  source.SetFileComment("note");
  TZipHeaderInfo other;
  other.Assign(source);
  EXPECT_EQ(other.FileComment(), std::optional<std::string>("note"));

  TEndCentral record;
  EXPECT_NE(testing::MessageOf<base::EConvertError>([&] { target.Assign(record); }), "<no exception>");
  EXPECT_NE(testing::MessageOf<base::EConvertError>([&] { record.Assign(target); }), "<no exception>");
}

}  // namespace
}  // namespace qel::archive

namespace qel::archive {
namespace {

// A ZIP64 extra field holds, in order, the values whose 32-bit fields hold the marker.
TEST(ZipHeaderInfo, Zip64FieldsReplaceTheMarkedValues) {
  Bytes extra;
  PutLe16(extra, 0x0001);
  PutLe16(extra, 28);
  for (const std::uint64_t value : {5000000000ull, 4500000000ull, 6000000000ull}) {
    PutLe32(extra, static_cast<std::uint32_t>(value));
    PutLe32(extra, static_cast<std::uint32_t>(value >> 32));
  }
  PutLe32(extra, 2);  // the disk
  Bytes h;
  PutLe32(h, 0x02014B50);
  for (const std::uint16_t field : {20, 45, 0, 8, 0, 0}) PutLe16(h, field);
  PutLe32(h, 0x1234);                  // CRC
  PutLe32(h, 0xFFFFFFFF);              // compressed size: see the extra field
  PutLe32(h, 0xFFFFFFFF);              // uncompressed size: see the extra field
  PutLe16(h, 5);                       // name
  PutLe16(h, static_cast<std::uint16_t>(extra.size()));
  PutLe16(h, 0);                       // comment
  PutLe16(h, 0xFFFF);                  // disk: see the extra field
  PutLe16(h, 0);
  PutLe32(h, 0);
  PutLe32(h, 0xFFFFFFFF);              // local header offset: see the extra field
  h.insert(h.end(), {'b', 'i', 'g', '.', 'x'});
  h.insert(h.end(), extra.begin(), extra.end());
  base::TMemoryStream stream(h);
  TZipHeaderInfo entry;
  ASSERT_TRUE(entry.ReadCentral(stream));
  EXPECT_EQ(entry.UncompressedSize, 5000000000);
  EXPECT_EQ(entry.CompressedSize, 4500000000);
  EXPECT_EQ(entry.LocalHeaderOffset, 6000000000);
  EXPECT_EQ(entry.DiskNumberStart, 2);
  EXPECT_EQ(stream.Position(), static_cast<std::int64_t>(h.size()));
}


// NTFS (100 ns) outranks Info-ZIP's UT (seconds) wherever it stands; a UT field whose flags
// announce no last-write time, or a zero NTFS time, gives none.
TEST(ZipHeaderInfo, ExactTimesComeFromTheNtfsAndUnixTimeFields) {
  const auto timestamp = [](std::uint8_t flags, std::uint32_t seconds) {
    Bytes field;
    PutLe16(field, 0x5455);
    PutLe16(field, 5);
    field.push_back(flags);
    PutLe32(field, seconds);
    return field;
  };
  const auto ntfs = [](std::uint64_t ticks) {
    Bytes field;
    PutLe16(field, 0x000A);
    PutLe16(field, 32);
    PutLe32(field, 0);  // reserved
    PutLe16(field, 1);
    PutLe16(field, 24);
    for (int i = 0; i < 3; ++i) {
      PutLe32(field, static_cast<std::uint32_t>(ticks));
      PutLe32(field, static_cast<std::uint32_t>(ticks >> 32));
    }
    return field;
  };
  const std::int64_t unixSecondTicks = (1700000001LL + 11644473600LL) * 10000000LL;
  const std::uint64_t ntfsTicks = 133000000001234567ULL;
  const auto joined = [](Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const struct {
    Bytes Extra;
    std::optional<std::int64_t> Expected;
  } cases[] = {
      {timestamp(1, 1700000001), unixSecondTicks},
      {timestamp(6, 1700000001), std::nullopt},
      {timestamp(1, 0xFFFFFFFF), (-1LL + 11644473600LL) * 10000000LL},  // signed: 1969
      {joined(timestamp(1, 1700000001), ntfs(ntfsTicks)), static_cast<std::int64_t>(ntfsTicks)},
      {joined(ntfs(ntfsTicks), timestamp(1, 1700000001)), static_cast<std::int64_t>(ntfsTicks)},
      {joined(ntfs(0), timestamp(1, 1700000001)), unixSecondTicks},
  };
  for (const auto& c : cases) {
    TZipHeaderInfo entry;
    entry.ApplyExtraField(c.Extra.data(), c.Extra.size());
    EXPECT_EQ(entry.LastWriteTime, c.Expected);
    TZipHeaderInfo copy;
    copy.Assign(entry);
    EXPECT_EQ(copy.LastWriteTime, c.Expected);
  }
}

}  // namespace
}  // namespace qel::archive
