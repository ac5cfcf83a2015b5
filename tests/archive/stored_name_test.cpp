#include "archive/stored_name.h"

#include <gtest/gtest.h>

#include "archive/zip_header_info.h"
#include "base/stream.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

// "Grüße/Ärger ½ £.txt" as an MS-DOS program stores it (code page 437), and as Windows
// shows it (Windows-1252).
constexpr char OemName[] = "Gr\x81\xE1" "e/\x8E" "rger \xAB \x9C.txt";
constexpr char AnsiName[] = "Gr\xFC\xDF" "e\\\xC4" "rger \xBD \xA3.txt";

TEST(StoredName, OemCharactersBecomeTheirWindowsText) {
  const std::string converted = ConvertStoredName(OemName);
  EXPECT_EQ(converted, AnsiName);
  EXPECT_EQ(converted.size(), sizeof(OemName) - 1);

  const struct {
    const char* oem;
    const char* ansi;
  } letters[] = {
      {"\x81", "\xFC"}, {"\x84", "\xE4"}, {"\x94", "\xF6"}, {"\x99", "\xD6"}, {"\x9A", "\xDC"},
      {"\x82", "\xE9"}, {"\x87", "\xE7"}, {"\xA4", "\xF1"}, {"\xE1", "\xDF"}, {"\x9C", "\xA3"},
  };
  for (const auto& letter : letters) EXPECT_EQ(ConvertStoredName(letter.oem), letter.ansi) << letter.ansi;
}

TEST(StoredName, EntryReadFromAnArchiveCarriesTheConvertedName) {
  testing::ZipEntry zipEntry;
  zipEntry.Name = OemName;
  const testing::Bytes bytes = testing::LocalHeaderBytes(zipEntry);
  base::TMemoryStream stream(bytes);
  TZipHeaderInfo entry;
  ASSERT_TRUE(entry.ReadLocal(stream));
  EXPECT_EQ(entry.Directory(), "Gr\xFC\xDF" "e\\");
  EXPECT_EQ(entry.FileName(), "\xC4" "rger \xBD \xA3.txt");
  EXPECT_EQ(entry.FileNameLength, sizeof(OemName) - 1);
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
