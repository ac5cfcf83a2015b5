#include "archive/sorted_zip.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "support/exception_message.h"
#include "support/zip_builder.h"

namespace qel::archive {
namespace {

using testing::DosDateTime;
using testing::MessageOf;

struct EntryFields {
  const char* Name;  // the converted name, "\" separators
  std::uint32_t Date;
  std::int32_t CompressedSize;
  std::int32_t UncompressedSize;
  std::uint16_t Disk;
  std::uint32_t Offset;
};

// The entries a test sorts; the lists only reference them.
class Entries {
 public:
  TZipHeaderInfo* Make(const EntryFields& fields) {
    auto entry = std::make_unique<TZipHeaderInfo>();
    const std::string name = fields.Name;
    const auto separator = name.find_last_of('\\');
    if (separator != std::string::npos) entry->SetDirectory(name.substr(0, separator + 1));
    entry->SetFileName(separator == std::string::npos ? name : name.substr(separator + 1));
    entry->FileDate = fields.Date;
    entry->CompressedSize = fields.CompressedSize;
    entry->UncompressedSize = fields.UncompressedSize;
    entry->DiskNumberStart = fields.Disk;
    entry->LocalHeaderOffset = fields.Offset;
    FOwned.push_back(std::move(entry));
    return FOwned.back().get();
  }

 private:
  std::vector<std::unique_ptr<TZipHeaderInfo>> FOwned;
};

std::vector<std::string> Names(const TSortedZip& list) {
  std::vector<std::string> names;
  for (std::int32_t i = 0; i < list.Count(); ++i) names.push_back(list.Entry(i)->Directory() + list.Entry(i)->FileName());
  return names;
}

std::vector<std::string> Sorted(TZipSortMode mode, const std::vector<EntryFields>& entrySet) {
  Entries entries;
  TSortedZip list(TDuplicateMode::dmAccept);
  list.OwnsObjects = false;
  list.SortMode = mode;
  for (const EntryFields& fields : entrySet) EXPECT_EQ(list.Add(entries.Make(fields)), 0);
  return Names(list);
}

using NameList = std::vector<std::string>;

TEST(SortedZip, EveryModeGivesItsOrder) {
  // Added in this order. Rates: 50, 10, 100 (capped from 200), 0 (empty), 75.
  const std::vector<EntryFields> entrySet = {
      {"b\\z.txt", DosDateTime(2001, 1, 1, 0, 0, 0), 50, 100, 0, 300},
      {"a\\y.txt", DosDateTime(2003, 5, 5, 0, 0, 0), 10, 100, 1, 0},
      {"C\\x.txt", DosDateTime(1999, 12, 31, 0, 0, 0), 200, 100, 0, 100},
      {"a\\Z.TXT", 0, 0, 0, 0, 0x80000000u},  // no valid date; an offset beyond 2 GiB, still after the others
      {"y.txt", DosDateTime(2002, 2, 2, 0, 0, 0), 30, 40, 0, 200},
  };
  const struct {
    TZipSortMode mode;
    NameList expected;
  } cases[] = {
      {TZipSortMode::ByName, {"a\\y.txt", "a\\Z.TXT", "b\\z.txt", "C\\x.txt", "y.txt"}},
      // Equal names come out in the reverse of their addition.
      {TZipSortMode::ByFileName, {"C\\x.txt", "y.txt", "a\\y.txt", "a\\Z.TXT", "b\\z.txt"}},
      {TZipSortMode::ByDirectoryName, {"y.txt", "a\\Z.TXT", "a\\y.txt", "b\\z.txt", "C\\x.txt"}},
      {TZipSortMode::ByDate, {"a\\y.txt", "y.txt", "b\\z.txt", "C\\x.txt", "a\\Z.TXT"}},
      {TZipSortMode::ByCompressedSize, {"C\\x.txt", "b\\z.txt", "y.txt", "a\\y.txt", "a\\Z.TXT"}},
      // Equal sizes keep the order of addition.
      {TZipSortMode::ByUnCompressedSize, {"b\\z.txt", "a\\y.txt", "C\\x.txt", "y.txt", "a\\Z.TXT"}},
      {TZipSortMode::ByRate, {"C\\x.txt", "y.txt", "b\\z.txt", "a\\y.txt", "a\\Z.TXT"}},
      {TZipSortMode::ByNone, {"C\\x.txt", "y.txt", "b\\z.txt", "a\\Z.TXT", "a\\y.txt"}},
      // A mode the list does not know places every entry last.
      {static_cast<TZipSortMode>(42), {"b\\z.txt", "a\\y.txt", "C\\x.txt", "a\\Z.TXT", "y.txt"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Sorted(c.mode, entrySet), c.expected) << static_cast<int>(c.mode);
}

TEST(SortedZip, TiesFollowTheMode) {
  // Case-insensitive equality: the later of "a" and "A" goes first.
  EXPECT_EQ(Sorted(TZipSortMode::ByName, {{"B", 0, 0, 0, 0, 0}, {"a", 0, 0, 0, 0, 0}, {"A", 0, 0, 0, 0, 0}}),
            (NameList{"A", "a", "B"}));
  // However many already tie, a new equal entry goes before all of them.
  EXPECT_EQ(Sorted(TZipSortMode::ByFileName, {{"1\\x", 0, 0, 0, 0, 0},
                                              {"2\\X", 0, 0, 0, 0, 0},
                                              {"3\\x", 0, 0, 0, 0, 0},
                                              {"0\\w", 0, 0, 0, 0, 0},
                                              {"4\\X", 0, 0, 0, 0, 0},
                                              {"5\\x", 0, 0, 0, 0, 0}}),
            (NameList{"0\\w", "5\\x", "4\\X", "3\\x", "2\\X", "1\\x"}));
  // Only ASCII letters fold: "\xE9" (é) and "\xC9" (É) differ, and order by their bytes.
  EXPECT_EQ(Sorted(TZipSortMode::ByName, {{"\xE9", 0, 0, 0, 0, 0}, {"\xC9", 0, 0, 0, 0, 0}, {"z", 0, 0, 0, 0, 0}}),
            (NameList{"z", "\xC9", "\xE9"}));
  const std::uint32_t day = DosDateTime(2010, 6, 1, 12, 0, 0);
  EXPECT_EQ(Sorted(TZipSortMode::ByDate, {{"first", day, 0, 0, 0, 0},
                                          {"invalid", 0xFFFFFFFF, 0, 0, 0, 0},
                                          {"second", day, 0, 0, 0, 0},
                                          {"later", day + 1, 0, 0, 0, 0}}),
            (NameList{"later", "first", "second", "invalid"}));
  // Rates round half to even: 1/8 is 12.5 and rounds to 12, tying with 12/100; 3/8 is 37.5
  // and rounds to 38, tying with 38/100.
  EXPECT_EQ(Sorted(TZipSortMode::ByRate, {{"p", 0, 1, 8, 0, 0},
                                          {"t", 0, 12, 100, 0, 0},
                                          {"u", 0, 13, 100, 0, 0},
                                          {"q", 0, 3, 8, 0, 0},
                                          {"v", 0, 38, 100, 0, 0}}),
            (NameList{"v", "q", "u", "t", "p"}));
  EXPECT_EQ(Sorted(TZipSortMode::ByCompressedSize, {{"one", 0, 7, 0, 0, 0}, {"two", 0, 7, 0, 0, 0}, {"big", 0, 8, 0, 0, 0}}),
            (NameList{"big", "one", "two"}));
}

TEST(SortedZip, DuplicateModesOfTheMainList) {
  Entries entries;
  TSortedZip main(TDuplicateMode::dmError);
  main.OwnsObjects = false;
  main.Add(entries.Make({"first", 0, 0, 0, 0, 100}));
  main.Add(entries.Make({"other disk", 0, 0, 0, 1, 100}));
  TZipHeaderInfo* twin = entries.Make({"twin", 0, 0, 0, 0, 100});
  EXPECT_EQ(MessageOf<base::EListError>([&] { main.Add(twin); }), "Duplicate Object index");
  EXPECT_EQ(Names(main), (NameList{"first", "other disk"}));

  TSortedZip ignoring(TDuplicateMode::dmIgnore);
  ignoring.OwnsObjects = false;
  ignoring.Add(entries.Make({"first", 0, 0, 0, 0, 100}));
  EXPECT_EQ(ignoring.Add(twin), 0);
  EXPECT_EQ(Names(ignoring), (NameList{"first"}));

  EXPECT_EQ(MessageOf<base::EListError>([&] { main.Put(0, twin); }), "Cannot <Put> an Object in a sorted list!");
}

TEST(SortedZip, FindLocatesAnEntryByDiskAndOffset) {
  Entries entries;
  TSortedZip main(TDuplicateMode::dmError);
  main.OwnsObjects = false;
  for (std::uint32_t offset : {500u, 100u, 300u}) main.Add(entries.Make({"e", 0, 0, 0, 0, offset}));
  TZipHeaderInfo* key = entries.Make({"key", 0, 0, 0, 0, 300});
  std::int32_t index = -1;
  EXPECT_TRUE(main.Find(key, index));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(main.IndexOf(key), 1);  // an equal key stands for the entry
  key->LocalHeaderOffset = 400;
  EXPECT_FALSE(main.Find(key, index));
  EXPECT_EQ(index, 2);
  EXPECT_EQ(main.IndexOf(key), -1);
}

TEST(SortedZip, ViewsWithoutTiesStillFindTheirEntries) {
  Entries entries;
  TSortedZip byDate(TDuplicateMode::dmAccept);
  byDate.OwnsObjects = false;
  byDate.SortMode = TZipSortMode::ByDate;
  TZipHeaderInfo* a = entries.Make({"a", DosDateTime(2001, 1, 1, 0, 0, 0), 0, 0, 0, 0});
  TZipHeaderInfo* b = entries.Make({"b", DosDateTime(2000, 1, 1, 0, 0, 0), 0, 0, 0, 0});
  TZipHeaderInfo* c = entries.Make({"c", DosDateTime(1999, 1, 1, 0, 0, 0), 0, 0, 0, 0});
  for (TZipHeaderInfo* e : {b, c, a}) byDate.Add(e);
  EXPECT_EQ(byDate.IndexOf(b), 1);
  EXPECT_EQ(byDate.Neighbour(b, true), c);
  EXPECT_EQ(byDate.Neighbour(b, false), a);

  // Among entries with equal keys, the entry itself.
  TSortedZip byName(TDuplicateMode::dmAccept);
  byName.OwnsObjects = false;
  byName.SortMode = TZipSortMode::ByName;
  TZipHeaderInfo* same1 = entries.Make({"same", 0, 0, 0, 0, 0});
  TZipHeaderInfo* same2 = entries.Make({"SAME", 0, 0, 0, 0, 0});
  byName.Add(same1);
  byName.Add(same2);
  EXPECT_EQ(byName.IndexOf(same1), 1);
  EXPECT_EQ(byName.IndexOf(same2), 0);
}

TEST(SortedZip, OnlyArchiveEntriesCanBeCompared) {
  class TOther final : public base::TObject {};
  TOther other;
  Entries entries;
  TSortedZip list(TDuplicateMode::dmAccept);
  list.OwnsObjects = false;
  list.Add(entries.Make({"a", 0, 0, 0, 0, 0}));
  EXPECT_NE(MessageOf<base::EConvertError>([&] { list.Add(&other); }), "<no exception>");
  EXPECT_EQ(list.Count(), 1);
}

}  // namespace
}  // namespace qel::archive
