#include "installer/manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_pages.h"
#include "support/scratch.h"

namespace qel::installer {
namespace {

using TLines = std::vector<std::string>;

// Names beyond ASCII are written in UTF-8 behind its mark; ASCII manifests stay as earlier
// versions wrote them, and those versions' manifests, in the ANSI code page, still read right.
TEST(Manifest, ReadsBackEveryNameAndTheAnsiManifestsOfEarlierVersions) {
  testing::ScratchDir dir;
  const TLines names = {"DoVra.exe", "Docs\\", "\xE6\x97\xA5\xE6\x9C\xAC\\\xCE\xA9.txt"};
  WriteManifest(names, dir.Path() + "install.dat");
  EXPECT_EQ(dir.Read("install.dat").substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_EQ(ReadManifest(dir.Path() + "install.dat"), names);

  WriteManifest({"DoVra.exe"}, dir.Path() + "ascii.dat");
  EXPECT_EQ(dir.Read("ascii.dat"), "DoVra.exe\r\n");

  if (platform::AnsiCodePage() != 1252) GTEST_SKIP() << "the earlier manifest below is Windows-1252";
  dir.Write("earlier.dat", "Caf\xE9\\men\xFC.txt\r\nDoVra.exe\r\n");
  EXPECT_EQ(ReadManifest(dir.Path() + "earlier.dat"), (TLines{"Caf\xC3\xA9\\men\xC3\xBC.txt", "DoVra.exe"}));
}

}  // namespace
}  // namespace qel::installer
