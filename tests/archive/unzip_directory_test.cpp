// Opening archives and reading their directories: archives made by real programs, and
// damaged or unusual archives laid out byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "archive/unzip.h"
#include "archive/zip.h"
#include "base/format.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/ui.h"
#include "support/exception_message.h"
#include "support/fixture_archives.h"
#include "support/scratch.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

using testing::Bytes;
using testing::MessageOf;
using testing::ScratchDir;
using testing::ZipBuilder;
using testing::ZipEntry;
using testing::ZipLayout;

// The archives the fixture step made with zip, 7z and Python, and what those report.
const std::string FixtureDir = testing::FixtureDir();
using testing::FixtureArchives;
using testing::ReadLines;

struct ExpectedEntry {
  std::string Path;
  std::int64_t Size = 0;
  std::int64_t CompressedSize = 0;
  std::uint32_t Crc = 0;
  std::uint32_t DosDate = 0;
  int Method = 0;
  int Flags = 0;
};

std::vector<ExpectedEntry> ReadExpected(const std::string& archive) {
  std::vector<ExpectedEntry> entries;
  const std::string stem = archive.substr(0, archive.size() - 4);
  for (const std::string& line : ReadLines(FixtureDir + "/" + stem + ".expected")) {
    std::istringstream fields(line);
    ExpectedEntry e;
    std::string crc, date;
    std::getline(fields, e.Path, '\t');
    fields >> e.Size >> e.CompressedSize >> crc >> date >> e.Method >> e.Flags;
    e.Crc = static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16));
    e.DosDate = static_cast<std::uint32_t>(std::stoul(date, nullptr, 16));
    entries.push_back(e);
  }
  return entries;
}

std::string StoredPath(TUnZip& zip, std::int32_t i) {
  std::string path = zip.Pathname(i) + zip.Filename(i);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

TEST(UnZipDirectory, AgreesWithTheProgramsThatMadeTheArchives) {
  const std::vector<std::string> archives = FixtureArchives();
  if (archives.empty()) GTEST_SKIP() << "no fixtures in " << FixtureDir;
  for (const std::string& name : archives) {
    SCOPED_TRACE(name);
    const std::vector<ExpectedEntry> expected = ReadExpected(name);
    ASSERT_FALSE(expected.empty());
    TZip zip;
    zip.SetZipName(testing::HostPath(FixtureDir + "/" + name));
    zip.OpenZip();
    ASSERT_EQ(zip.Count(), static_cast<std::int32_t>(expected.size()));
    for (std::int32_t i = 0; i < zip.Count(); ++i) {
      const ExpectedEntry& e = expected[static_cast<std::size_t>(i)];
      const TZipHeaderInfo& entry = zip.Entry(i);
      // Python reports names in Unicode, as the component does.
      EXPECT_EQ(StoredPath(zip, i), e.Path);
      EXPECT_EQ(entry.UncompressedSize, e.Size) << e.Path;
      EXPECT_EQ(entry.CompressedSize, e.CompressedSize) << e.Path;
      EXPECT_EQ(entry.Crc32, e.Crc) << e.Path;
      EXPECT_EQ(entry.FileDate, e.DosDate) << e.Path;
      EXPECT_EQ(entry.CompressionMethod, e.Method) << e.Path;
      EXPECT_EQ(entry.Flags & 0x09, e.Flags & 0x09) << e.Path;
    }
    zip.CloseZip();
  }
}

TEST(UnZipDirectory, SplitArchivePartsAreFoundByTheirNames) {
  const std::string last = FixtureDir + "/split.zip";
  if (FixtureArchives().empty()) GTEST_SKIP() << "no fixtures";
  TUnZip zip;
  zip.SetZipName(testing::HostPath(last));
  zip.OpenZip();
  EXPECT_NE(zip.EndCentral().ThisDisk, 0);
  EXPECT_EQ(zip.MultiMode(), TMultiMode::mmBlocks);
  EXPECT_EQ(zip.Count(), static_cast<std::int32_t>(ReadExpected("split.zip").size()));

}

TEST(UnZipDirectory, CommentsAreReadOnRequest) {
  if (FixtureArchives().empty()) GTEST_SKIP() << "no fixtures";
  TUnZip zip;
  zip.SetZipName(testing::HostPath(FixtureDir + "/archive_comment.zip"));
  const std::string expected = testing::ReadHostFile(FixtureDir + "/archive_comment.comment");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(zip.ZipComment(), expected);
  zip.SetZipName(testing::HostPath(FixtureDir + "/entry_comments.zip"));
  zip.OpenZip();
  zip.CloseZip();
  ASSERT_GT(zip.Count(), 0);
  for (std::int32_t i = 0; i < zip.Count(); ++i) {
    std::string path = StoredPath(zip, i);
    EXPECT_EQ(zip.FileComment(i), "comment of " + path);
  }
  // Changing a comment changes the copy in memory only, and marks the archive changed.
  zip.SetFileComment(0, zip.FileComment(0));
  EXPECT_FALSE(zip.EndCentral().Modified);
  zip.SetFileComment(0, "new");
  EXPECT_EQ(zip.FileComment(0), "new");
  EXPECT_TRUE(zip.EndCentral().Modified);
}

class UnZipOnDisk : public ::testing::Test {
 protected:
  std::string Write(const ZipBuilder& builder, const std::string& name = "a.zip") {
    const std::string path = Scratch.Path() + name;
    builder.WriteToFile(path);
    return path;
  }
  static ZipBuilder ThreeEntries() {
    ZipBuilder builder;
    builder.AddStored("docs/readme.txt", "read me");
    builder.AddStored("setup.exe", "MZ program");
    builder.AddStored("docs/", "");
    return builder;
  }
  ScratchDir Scratch;
};

TEST_F(UnZipOnDisk, DirectoryIsReadOnlyWhenNeededAndOnlyOnce) {
  const std::string path = Write(ThreeEntries());
  TUnZip zip;
  zip.SetZipName(path);
  EXPECT_EQ(zip.Count(), 0);
  zip.OpenZip();
  zip.CloseZip();
  ASSERT_EQ(zip.Count(), 3);
  EXPECT_EQ(zip.Pathname(0) + zip.Filename(0), "docs\\readme.txt");
  EXPECT_EQ(zip.Pathname(1), "");
  EXPECT_EQ(zip.Filename(2), "");
  EXPECT_EQ(zip.Pathname(2), "docs\\");

  // The same name in other letter case keeps what was read.
  const TZipHeaderInfo* first = &zip.Entry(0);
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  zip.SetZipName(upper);
  EXPECT_EQ(zip.Count(), 3);
  zip.OpenZip();
  EXPECT_EQ(&zip.Entry(0), first) << "an unchanged archive is not read again";
  zip.CloseZip();

  // A replaced archive is read again.
  ZipBuilder other;
  other.AddStored("only.txt", "x");
  Write(other);
  zip.OpenZip();
  zip.CloseZip();
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.Filename(0), "only.txt");
}

TEST_F(UnZipOnDisk, DisksComeFromTheHandlerOrFromTheSplitNames) {
  // The last disk says the directory starts on the first one.
  ZipBuilder last = ThreeEntries();
  last.ThisDisk = 1;
  last.CentralStartDisk = 0;
  const std::string lastName = Write(last, "parts.zip");
  Write(ThreeEntries(), "parts.z01");

  TUnZip asked;
  std::vector<std::int32_t> requests;
  asked.OnGetNextDisk = [&](base::TObject&, std::int32_t disk, std::string& name) {
    requests.push_back(disk);
    name.clear();
  };
  asked.SetZipName(lastName);
  EXPECT_EQ(MessageOf<EUserCanceled>([&] { asked.OpenZip(); }), "User canceled loading new disk.");
  EXPECT_EQ(requests, std::vector<std::int32_t>{1});

  TUnZip named;
  named.SetZipName(lastName);
  named.OpenZip();
  EXPECT_EQ(named.Count(), 3);
  EXPECT_EQ(named.ZipName(), Scratch.Path() + "parts.z01");
  EXPECT_EQ(named.MultiMode(), TMultiMode::mmBlocks);

  platform::DeleteFile(Scratch.Path() + "parts.z01");
  TUnZip missing;
  missing.SetZipName(lastName);
  EXPECT_THROW(missing.OpenZip(), base::EFOpenError);
}

TEST_F(UnZipOnDisk, IndexesOutsideTheListAreRefused) {
  TUnZip zip;
  zip.SetZipName(Write(ThreeEntries()));
  EXPECT_EQ(MessageOf<base::EListError>([&] { zip.Filename(0); }), "Index 0 is out of range");
  zip.OpenZip();
  EXPECT_EQ(MessageOf<base::EListError>([&] { zip.Filename(-1); }), "Index -1 is out of range");
  EXPECT_EQ(MessageOf<base::EListError>([&] { zip.Pathname(3); }), "Index 3 is out of range");
}

TEST_F(UnZipOnDisk, MissingEndRecordFollowsTheIncompleteMode) {
  ZipBuilder builder = ThreeEntries();
  builder.OmitEndRecord = true;
  const std::string path = Write(builder);

  TUnZip zip;
  zip.SetZipName(path);
  EXPECT_EQ(MessageOf<EIncompleteZip>([&] { zip.OpenZip(); }), "Incomplete Zip File");
  EXPECT_EQ(zip.Count(), 0);

  int asked = 0;
  zip.OnInCompleteZip = [&](base::TObject&, TIncompleteZipMode& mode) {
    ++asked;
    mode = TIncompleteZipMode::izAssumeBad;
  };
  zip.OpenZip();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(zip.IncompleteZipMode(), TIncompleteZipMode::izAssumeBad);
  EXPECT_TRUE(zip.ScannedLocalHeaders());
  ASSERT_EQ(zip.Count(), 3);
  EXPECT_EQ(zip.Filename(1), "setup.exe");
  // The central headers behind the entries still add what only they know.
  EXPECT_EQ(zip.Entry(1).ExternalAttributes, 0x20u);
}

TEST_F(UnZipOnDisk, DamagedArchivesAreScannedForTheirEntries) {
  struct Case {
    const char* Name;
    ZipBuilder Builder;
    TIncompleteZipMode Mode;
    std::int32_t Entries;
  };
  std::vector<Case> cases;
  {
    ZipBuilder b = ThreeEntries();
    b.CentralDirOffsetDelta = 5;  // the end record points next to the directory
    cases.push_back({"offset misses the directory", b, TIncompleteZipMode::izAssumeMulti, 3});
  }
  {
    ZipBuilder b = ThreeEntries();
    b.Prefix = Bytes(3000, 'M');
    b.OffsetsIncludePrefix = false;
    cases.push_back({"program in front, offsets not adjusted", b, TIncompleteZipMode::izAssumeMulti, 3});
  }
  {
    ZipBuilder b;
    b.AddStored("one.txt", "first entry");
    b.AddStored("two.txt", std::string(100, 'b'));
    b.AddStored("three.txt", "third");
    ZipLayout layout;
    const Bytes bytes = b.Build(&layout);
    (void)bytes;
    b.TruncateTo = layout.LocalHeaderOffsets[1] + 40;  // inside the second entry's data
    b.OmitEndRecord = true;
    cases.push_back({"truncated in the second entry", b, TIncompleteZipMode::izAssumeBad, 2});
  }
  {
    ZipBuilder b;
    cases.push_back({"only an end record", b, TIncompleteZipMode::izAssumeMulti, 0});
  }
  {
    ZipBuilder b;
    b.Prefix = Bytes(21, 'P');
    b.OmitEndRecord = true;
    cases.push_back({"shorter than an end record", b, TIncompleteZipMode::izAssumeBad, 0});
  }
  {
    ZipBuilder b = ThreeEntries();
    // A comment that holds a record of its own, which is then taken as the real one.
    std::string fake = "PK\x05\x06";
    fake += std::string(12, '\0') + std::string("\x10\x00\x00\x00", 4) + std::string(2, '\0');
    b.ArchiveComment = "see: " + fake;
    cases.push_back({"end-record signature inside the comment", b, TIncompleteZipMode::izAssumeMulti, 3});
  }
  for (Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TUnZip zip;
    zip.SetIncompleteZipMode(c.Mode);
    zip.SetZipName(Write(c.Builder));
    zip.OpenZip();
    EXPECT_EQ(zip.Count(), c.Entries);
    zip.CloseZip();
  }
}

// A self-extractor's program in front of the archive: the end record tells how far the
// directory moved, so the intact directory is read, with every offset moved by as much.
// A directory damaged after some entries is not the archive: assumed to be one of several
// disks it is an error, assumed damaged it is rebuilt from the local headers.
TEST_F(UnZipOnDisk, ADirectoryDamagedMidwayIsAnErrorOrIsRecovered) {
  ZipBuilder b;
  for (int i = 0; i < 7; ++i) b.AddStored(base::Format("file%d.txt", {i}), std::string(10 + i, 'x'));
  ZipLayout layout;
  Bytes bytes = b.Build(&layout);
  bytes[layout.CentralHeaderOffsets[2] + 1] = 'X';  // the third header's signature
  const std::string path = Scratch.Path() + "damaged.zip";
  Scratch.Write("damaged.zip", std::string(bytes.begin(), bytes.end()));

  TUnZip zip;
  zip.SetZipName(path);
  EXPECT_EQ(MessageOf<EIncompleteZip>([&] { zip.OpenZip(); }),
            "Incomplete Zip File: its central directory ends after 2 of 7 entries");
  EXPECT_EQ(zip.Count(), 0);
  zip.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
  zip.OpenZip();
  ASSERT_EQ(zip.Count(), 7);
  EXPECT_EQ(zip.Filename(6), "file6.txt");
  EXPECT_EQ(zip.Entry(6).UncompressedSize, 16);
}

// Entries written by a streaming writer carry their sizes and CRC behind the data; the scan
// finds that end, with or without the descriptor's signature, in 32 or 64 bits.
TEST_F(UnZipOnDisk, TheScanFindsTheEndOfDataWithADescriptor) {
  ZipBuilder b;
  for (int i = 0; i < 3; ++i) {
    ZipEntry e;
    e.Name = base::Format("streamed%d.txt", {i});
    e.Data = testing::ToBytes(std::string(100 * (i + 1), static_cast<char>('a' + i)) + "PK\x07\x08 within");
    e.DataDescriptor = true;
    b.Add(e);
  }
  b.OmitEndRecord = true;
  TUnZip zip;
  zip.SetIncompleteZipMode(TIncompleteZipMode::izAssumeBad);
  zip.SetZipName(Write(b));
  zip.OpenZip();
  ASSERT_EQ(zip.Count(), 3);
  for (std::int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(zip.Entry(i).UncompressedSize, 100 * (i + 1) + 11) << i;
    EXPECT_EQ(zip.Entry(i).Crc32, testing::Crc32(b.Entries()[static_cast<std::size_t>(i)].Data)) << i;
  }
}

TEST_F(UnZipOnDisk, ASelfExtractorsPrefixMovesEveryOffset) {
  ZipBuilder b = ThreeEntries();
  b.Prefix = Bytes(30000, 'M');
  b.OffsetsIncludePrefix = false;
  ZipLayout layout;
  b.Build(&layout);
  TUnZip zip;
  platform::TDialogScript::Start();
  zip.SetZipName(Write(b));
  zip.OpenZip();
  ASSERT_EQ(zip.Count(), 3);
  EXPECT_FALSE(zip.ScannedLocalHeaders());
  EXPECT_EQ(zip.Entry(0).LocalHeaderOffset, 30000);
  EXPECT_EQ(zip.Entry(0).ExternalAttributes, 0x20u) << "what only the directory knows";
  EXPECT_EQ(platform::TDialogScript::ProcessMessagesCalls(), 0u) << "no scan";
  platform::TDialogScript::Stop();
}

// Records naming one local header open as entries in directory order; all but the first are
// marked as overlapping, so only the first is ever extracted.
TEST_F(UnZipOnDisk, ASecondHeaderForTheSameEntryIsMarkedOverlapping) {
  ZipBuilder b;
  b.AddStored("a.txt", "a");
  std::int64_t behind = 0;  // the bytes from the first local header to the next one's
  for (const char* name : {"b.txt", "c.txt"}) {
    behind += static_cast<std::int64_t>(testing::LocalHeaderBytes(b.Entries().back()).size()) + 1;
    ZipEntry twin;
    twin.Name = name;
    twin.Data = testing::ToBytes("b");
    twin.LocalOffsetDelta = -behind;
    b.Add(twin);
  }
  TUnZip zip;
  zip.SetZipName(Write(b));
  zip.OpenZip();
  ASSERT_EQ(zip.Count(), 3);
  EXPECT_EQ(zip.Filename(0) + zip.Filename(1) + zip.Filename(2), "a.txtb.txtc.txt");
  EXPECT_FALSE(zip.Entry(0).OverlapsEarlierEntry);
  EXPECT_TRUE(zip.Entry(1).OverlapsEarlierEntry);
  EXPECT_TRUE(zip.Entry(2).OverlapsEarlierEntry);
}

TEST_F(UnZipOnDisk, SortModesGiveViewsOfTheSameEntries) {
  TUnZip zip;
  zip.SetSortMode(TZipSortMode::ByName);
  zip.SetZipName(Write(ThreeEntries()));
  zip.OpenZip();
  ASSERT_EQ(zip.Count(), 3);
  EXPECT_EQ(zip.Pathname(0) + zip.Filename(0), "docs\\");
  EXPECT_EQ(zip.Pathname(1) + zip.Filename(1), "docs\\readme.txt");
  EXPECT_EQ(zip.Filename(2), "setup.exe");
  zip.Sort(TZipSortMode::ByNone);
  EXPECT_EQ(zip.SortMode(), TZipSortMode::ByNone);
  EXPECT_EQ(zip.Filename(0), "readme.txt");
}

// A name in UTF-8 keeps every letter; an OEM name converts to the same letters in UTF-8.
TEST_F(UnZipOnDisk, NamesAreUtf8WhateverTheArchiveStores) {
  ZipBuilder builder;
  ZipEntry unicode;
  unicode.Name = "\xD0\xBC\xD0\xB8\xD1\x80/caf\xC3\xA9.txt";  // мир/café.txt
  unicode.Flags = 0x0800;
  builder.Add(unicode);
  builder.AddStored("d\x82j\x85/\x82t\x82.txt", "");  // déjà/été.txt in code page 437
  TUnZip zip;
  zip.SetZipName(Write(builder));
  zip.OpenZip();
  ASSERT_EQ(zip.Count(), 2);
  EXPECT_EQ(zip.Pathname(0) + zip.Filename(0), "\xD0\xBC\xD0\xB8\xD1\x80\\caf\xC3\xA9.txt");
  EXPECT_EQ(zip.Utf8Pathname(0), "\xD0\xBC\xD0\xB8\xD1\x80\\");
  EXPECT_EQ(zip.Utf8Filename(0), "caf\xC3\xA9.txt");
  EXPECT_EQ(zip.Utf8Pathname(1), "d\xC3\xA9j\xC3\xA0\\");
  EXPECT_EQ(zip.Utf8Filename(1), "\xC3\xA9t\xC3\xA9.txt");
}

TEST(UnZipProperties, SettersNormaliseTheirValues) {
  TUnZip zip;
  EXPECT_EQ(zip.ThisVersion(), 210);
  zip.SetThisVersion(5);
  EXPECT_EQ(zip.ThisVersion(), 210);
  EXPECT_EQ(zip.OverwriteMode(), TUZOverwriteMode::Prompt);
  EXPECT_TRUE(zip.DoProcessMessages());
  EXPECT_TRUE(zip.RetainAttributes());
  zip.SetDestDir("C:\\");
  EXPECT_EQ(zip.DestDir(), "C:");
  zip.SetDestDir("??");
  EXPECT_EQ(zip.DestDir(), "??");
  zip.SetRootDir("sub");
  EXPECT_EQ(zip.RootDir(), "sub\\");
  zip.SetRootDir("");
  EXPECT_EQ(zip.RootDir(), "");
}

TEST(UnZipProperties, DialogsChooseNamesOrCancel) {
  ScratchDir scratch;
  platform::TDialogScript::Start();
  TUnZip zip;
  platform::TDialogScript::PushChoice(scratch.Path() + "chosen.zip");
  zip.SetZipName(scratch.Path() + "?");
  EXPECT_EQ(zip.ZipName(), scratch.Path() + "chosen.zip");
  ASSERT_EQ(platform::TDialogScript::Shown().size(), 1u);
  EXPECT_EQ(platform::TDialogScript::Shown()[0].Text, scratch.Path()) << "starts in the named directory";

  EXPECT_EQ(MessageOf<EUserCanceled>([&] { zip.SetZipName("Q:\\missing\\?"); }),
            "User canceled setting zip file name.");
  EXPECT_EQ(platform::TDialogScript::Shown()[1].Text, "C:\\");
  EXPECT_EQ(zip.ZipName(), scratch.Path() + "chosen.zip");

  zip.SetDestDir("D:\\kept");
  EXPECT_EQ(MessageOf<EUserCanceled>([&] { zip.SetDestDir("?"); }), "User canceled Set Desination Directory");
  EXPECT_EQ(zip.DestDir(), "D:\\kept");
  platform::TDialogScript::PushChoice(scratch.Path() + "new\\dir");
  platform::TDialogScript::PushAnswer(platform::idYes);
  zip.SetDestDir("?");
  EXPECT_EQ(zip.DestDir(), scratch.Path() + "new\\dir");
  EXPECT_TRUE(platform::DirectoryExists(scratch.Path() + "new\\dir"));
  platform::TDialogScript::Stop();
}

}  // namespace
}  // namespace qel::archive
