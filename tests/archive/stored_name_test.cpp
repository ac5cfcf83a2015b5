#include "archive/stored_name.h"

#include <gtest/gtest.h>

#include "archive/zip_header_info.h"
#include "base/stream.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

// "Grüße/Ärger ½ £.txt" as an MS-DOS program stores it (code page 437), and as the program
// holds it (UTF-8).
constexpr char OemName[] = "Gr\x81\xE1" "e/\x8E" "rger \xAB \x9C.txt";
constexpr char Utf8Name[] = "Gr\xC3\xBC\xC3\x9F" "e\\\xC3\x84" "rger \xC2\xBD \xC2\xA3.txt";

TEST(StoredName, OemCharactersBecomeTheirUnicodeText) {
  EXPECT_EQ(ConvertStoredName(OemName), Utf8Name);
  // A name flagged UTF-8 that is none is read in the OEM code page, not cut or merged.
  EXPECT_EQ(ConvertUtf8StoredName(OemName), Utf8Name);
  EXPECT_EQ(ConvertUtf8StoredName("\xCE\xA9/x"), "\xCE\xA9\\x");
}

TEST(StoredName, EntryReadFromAnArchiveCarriesTheConvertedName) {
  testing::ZipEntry zipEntry;
  zipEntry.Name = OemName;
  const testing::Bytes bytes = testing::LocalHeaderBytes(zipEntry);
  base::TMemoryStream stream(bytes);
  TZipHeaderInfo entry;
  ASSERT_TRUE(entry.ReadLocal(stream));
  EXPECT_EQ(entry.Directory() + entry.FileName(), Utf8Name);
}

TEST(StoredName, SplitsAtTheLastSeparator) {
  const struct {
    const char* name;
    const char* directory;
    const char* fileName;
  } cases[] = {
      {"docs\\readme.txt", "docs\\", "readme.txt"},
      {"setup.exe", "", "setup.exe"},
      {"docs\\", "docs\\", ""},
      {"a\\b\\c", "a\\b\\", "c"},
      {"c:x", "c:\\", "x"},
      {"c:\\x", "c:\\", "x"},
      {"a:b\\c:d", "a:b\\c:\\", "d"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const TSplitName parts = SplitStoredName(c.name);
    EXPECT_EQ(parts.Directory, c.directory) << c.name;
    EXPECT_EQ(parts.FileName, c.fileName) << c.name;
  }
  EXPECT_EQ(ConvertStoredName("a/b\\c/"), "a\\b\\c\\");
}

}  // namespace
}  // namespace qel::archive
