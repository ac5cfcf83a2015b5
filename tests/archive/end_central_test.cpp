#include "archive/end_central.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"
#include "base/stream.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

using testing::Bytes;
using testing::ZipBuilder;

bool Find(TEndCentral& record, const Bytes& bytes) {
  base::TMemoryStream stream(bytes);
  return record.FindEndCentral(stream);
}

TEST(EndCentral, RecordFieldsAndCommentPosition) {
  ZipBuilder zip;
  zip.AddStored("one.txt", "first").AddStored("two/two.txt", "second");
  zip.ArchiveComment = "archive remark";
  zip.ThisDisk = 2;
  zip.CentralStartDisk = 1;
  zip.EntriesThisDisk = 1;
  testing::ZipLayout layout;
  const Bytes bytes = zip.Build(&layout);

  TEndCentral record;
  ASSERT_TRUE(Find(record, bytes));
  EXPECT_EQ(record.Signature, 0x06054B50u);
  EXPECT_EQ(record.ThisDisk, 2);
  EXPECT_EQ(record.CentralStartDisk, 1);
  EXPECT_EQ(record.EntriesThisDisk, 1);
  EXPECT_EQ(record.TotalEntries, 2);
  EXPECT_EQ(record.CentralDirOffset, layout.CentralDirOffset);
  EXPECT_EQ(record.CentralDirSize, layout.CentralDirSize);
  EXPECT_EQ(record.ZipCommentLength, 14);
  EXPECT_EQ(record.ZipCommentPos, bytes.size() - 14);
  EXPECT_EQ(record.RecordSize(), 22 + 14);
  EXPECT_TRUE(record.HasComment());
  EXPECT_FALSE(record.ZipComment.has_value());  // found, not read

  record.Clear();
  EXPECT_EQ(record.TotalEntries, 0);
  EXPECT_EQ(record.ZipCommentPos, 0u);
  EXPECT_EQ(record.Signature, 0x06054B50u);
}

TEST(EndCentral, SearchWindowAndSmallestFiles) {
  const auto withComment = [](std::size_t length) {
    ZipBuilder zip;
    zip.AddStored("a", "x");
    zip.ArchiveComment.assign(length, 'c');
    return zip.Build();
  };
  ZipBuilder onlyEndRecord;
  const Bytes endRecord = onlyEndRecord.Build();
  ASSERT_EQ(endRecord.size(), 22u);
  const struct {
    const char* what;
    Bytes bytes;
    bool found;
  } cases[] = {
      {"the longest comment inside the window", withComment(65506), true},
      {"one byte more", withComment(65507), false},
      {"a bare end record", endRecord, true},
      {"one byte short of a record", Bytes(endRecord.begin(), endRecord.end() - 1), false},
      {"no record at all", Bytes(100, 'P'), false},
      {"empty", Bytes(), false},
  };
  for (const auto& c : cases) {
    TEndCentral record;
    EXPECT_EQ(Find(record, c.bytes), c.found) << c.what;
  }
}

TEST(EndCentral, SignatureNearestTheEndWins) {
  // A comment that holds a record of its own, with other numbers, ahead of trailing text.
  Bytes fake;
  testing::PutLe32(fake, 0x06054B50);
  testing::PutLe16(fake, 0);
  testing::PutLe16(fake, 0);
  testing::PutLe16(fake, 7);
  testing::PutLe16(fake, 7);
  testing::PutLe32(fake, 0x100);
  testing::PutLe32(fake, 0x200);
  testing::PutLe16(fake, 3);
  ZipBuilder zip;
  zip.AddStored("a", "x");
  zip.ArchiveComment = std::string(fake.begin(), fake.end()) + "end";
  const Bytes bytes = zip.Build();
  TEndCentral record;
  ASSERT_TRUE(Find(record, bytes));
  EXPECT_EQ(record.TotalEntries, 7);
  EXPECT_EQ(record.CentralDirOffset, 0x200u);
  EXPECT_EQ(record.ZipCommentPos, bytes.size() - 3);
}

TEST(EndCentral, CommentLongerThanTheFileIsCutToWhatFollows) {
  ZipBuilder zip;
  zip.AddStored("a", "x");
  zip.ArchiveComment = "short";
  zip.ZipCommentLength = 60000;
  const Bytes bytes = zip.Build();
  TEndCentral record;
  ASSERT_TRUE(Find(record, bytes));
  EXPECT_EQ(record.ZipCommentLength, 5);
  EXPECT_EQ(record.ZipCommentPos, bytes.size() - 5);
}

TEST(EndCentral, AssignMeasuresTheCopiedComment) {
  TEndCentral source;
  source.TotalEntries = 4;
  source.CentralDirOffset = 1234;
  source.ZipCommentLength = 99;
  source.ZipComment = "hello";
  source.ZipCommentPos = 77;
  TEndCentral target;
  target.Assign(source);
  EXPECT_EQ(target.TotalEntries, 4);
  EXPECT_EQ(target.CentralDirOffset, 1234u);
  EXPECT_EQ(target.ZipComment, std::optional<std::string>("hello"));
  EXPECT_EQ(target.ZipCommentLength, 5);
  EXPECT_EQ(target.ZipCommentPos, 77u);

  // Without a text the recorded length is taken as it is.
  TEndCentral bare;
  bare.ZipCommentLength = 9;
  target.Assign(bare);
  EXPECT_EQ(target.ZipCommentLength, 9);
}

}  // namespace
}  // namespace qel::archive
