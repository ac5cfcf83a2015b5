// LZMA entries of real archives come out through the component as their originals; a damaged
// stream is skipped as damaged and the entries after it still come out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/unzip.h"
#include "support/fixture_archives.h"
#include "support/scratch.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

TEST(LzmaArchives, EveryEntryExtractsAsItsOriginal) {
  testing::ScratchDir scratch;
  const std::string words = testing::ReadHostFile(std::string(QEL_TEST_DATA_DIR) + "/lzma/words.txt");
  const std::string runs = testing::ReadHostFile(std::string(QEL_TEST_DATA_DIR) + "/lzma/runs.bin");
  const std::string edge = testing::ReadHostFile(std::string(QEL_TEST_DATA_DIR) + "/lzma/edge.bin");
  ASSERT_FALSE(words.empty() || runs.empty() || edge.empty());
  for (const char* name :
       {"7z_size_end.zip", "7z_small_dict.zip", "7z_marker.zip", "7z_dict_edge.zip", "python_marker.zip"}) {
    SCOPED_TRACE(name);
    TUnZip zip;
    zip.SetZipName(testing::DataPath(std::string("lzma/") + name));
    zip.SetDestDir(scratch.Path() + name);
    zip.SetDoAll(true);
    std::int32_t failures = 0;
    zip.OnBadCRC = [&](base::TObject&, std::int32_t, std::int32_t, std::int32_t) { ++failures; };
    zip.OnSkippingFile = [&](base::TObject&, TSkipReason, std::int32_t) { ++failures; };
    const std::int32_t extracted = zip.UnZip();
    EXPECT_EQ(extracted, zip.Count());
    EXPECT_GT(extracted, 0);
    EXPECT_EQ(failures, 0);
    for (std::int32_t i = 0; i < zip.Count(); ++i) {
      const std::string file = zip.Entry(i).FileName();
      const std::string& original = file == "words.txt" ? words
                                    : file == "runs.bin"  ? runs
                                    : file == "edge.bin"  ? edge
                                                          : std::string();
      EXPECT_EQ(scratch.Read(std::string(name) + "/" + file), original) << file;
    }
  }
}

TEST(LzmaArchives, ADamagedStreamIsSkippedAsDamaged) {
  testing::ScratchDir scratch;
  // A wrapper, then a stream whose first byte is not 0.
  testing::ZipEntry damaged;
  damaged.Name = "damaged.txt";
  damaged.Data = testing::ToBytes("payload");
  damaged.Compressed = testing::Bytes{0x10, 0x02, 0x05, 0x00, 0x5D, 0x00, 0x10, 0x00, 0x00, 0x01, 0, 0, 0, 0};
  damaged.Method = 14;
  testing::ZipBuilder builder;
  builder.Add(damaged);
  builder.AddStored("good.txt", "fine");
  builder.WriteToFile(scratch.Path() + "in.zip");
  TUnZip zip;
  zip.SetZipName(scratch.Path() + "in.zip");
  zip.SetDestDir(scratch.Path() + "out");
  zip.SetDoAll(true);
  std::vector<TSkipReason> skipped;
  zip.OnSkippingFile = [&](base::TObject&, TSkipReason reason, std::int32_t) { skipped.push_back(reason); };
  EXPECT_EQ(zip.UnZip(), 1);
  EXPECT_EQ(skipped, std::vector<TSkipReason>{TSkipReason::srDamagedData});
  EXPECT_EQ(scratch.Read("out/good.txt"), "fine");
  EXPECT_EQ(scratch.Read("out/damaged.txt"), "");
}

}  // namespace
}  // namespace qel::archive
