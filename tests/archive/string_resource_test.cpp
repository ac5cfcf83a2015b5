#include "archive/string_resource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/stream_messages.h"
#include "base/exceptions.h"
#include "platform/resources.h"

namespace qel::archive {
namespace {

const std::vector<std::pair<std::int16_t, std::string>> StreamMessages = {
    {stream_message::SeekError, "Seek error"},
    {stream_message::InvalidSeekOrigin, "Invalid seek origin (%d)"},
    {stream_message::PutbackOverflow, "Putback overflow"},
    {stream_message::ResourceNotFound, "Cannot find resource"},
    {stream_message::ResourceNotAccessible, "Cannot access resource"},
    {stream_message::SeekPastResourceEnd, "Seek past end of resource stream"},
    {stream_message::ResourceNotWritable, "Cannot write to a resource stream"},
};

std::int16_t IdOf(const std::uint8_t* entry) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(entry[0] | (entry[1] << 8)));
}

// The program's own table, as each build embeds it: exactly the seven entries, then the end.
TEST(StringResourceTest, EmbeddedStreamTableHoldsTheSevenMessages) {
  TS_StringResource table("s_stream");  // names match without regard to case
  for (const auto& [id, text] : StreamMessages) EXPECT_EQ(table.GetString(id), text);

  table.Lock();
  const std::uint8_t* entry = table.Find(1);
  for (const auto& message : StreamMessages) {
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(IdOf(entry), message.first);
    entry = table.Next(entry);
  }
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(IdOf(entry), 0);
  EXPECT_EQ(table.Next(entry), nullptr);
  table.Unlock();
}

TEST(StringResourceTest, UnknownIdentifiersGiveEmptyText) {
  EXPECT_EQ(LibraryMessage(StreamTableName, 9), "");
  EXPECT_EQ(LibraryMessage(StreamTableName, 0), "");
  EXPECT_EQ(LibraryMessage(StreamTableName, 70000), "");
  EXPECT_EQ(LibraryMessage("S_STREAM", stream_message::PutbackOverflow), "Putback overflow");
}

TEST(StringResourceTest, MissingAndClosedTablesRaise) {
  try {
    TS_StringResource table("S_NoSuchTable");
    ADD_FAILURE();
  } catch (const base::Exception& error) {
    EXPECT_EQ(error.Message(), "No such string resource: S_NoSuchTable");
  }
  // A missing table is not remembered as found.
  EXPECT_THROW(LibraryMessage("S_NoSuchTable", 1), base::Exception);
  EXPECT_THROW(LibraryMessage("S_NoSuchTable", 1), base::Exception);

  TS_StringResource table;
  EXPECT_EQ(table.Find(1), nullptr);
  try {
    table.GetString(1);
    ADD_FAILURE();
  } catch (const base::EOutOfResources& error) {
    EXPECT_EQ(error.Message(), "Cannot lock string resource");
  }
  table.Open(StreamTableName);
  table.Close();
  EXPECT_THROW(table.Lock(), base::EOutOfResources);
}

// Damaged tables, added to the module's resources by the test. Each table is held in a
// block of exactly its size, so a read past it shows up under the address sanitizer.
TEST(StringResourceTest, DamagedTablesEndTheWalkInsideTheResource) {
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    std::int16_t IntactId;
    std::string IntactText;
    std::int16_t DamagedId;  // its entry does not fit: the lookup must come back empty
  };
  static const std::vector<TCase> Cases = {
      {"S_NoTerminator", {1, 0, 2, 'h', 'i', 2, 0, 1, 'x'}, 2, "x", 3},
      {"S_TextCut", {1, 0, 2, 'h', 'i', 2, 0, 20, 'x', 'y'}, 1, "hi", 2},
      {"S_LengthCut", {1, 0, 2, 'h', 'i', 2, 0}, 1, "hi", 2},
      {"S_IdCut", {1, 0, 1, 'a', 5}, 1, "a", 5},
      {"S_OneByte", {7}, 7, "", 7},
  };
  static std::vector<std::vector<std::uint8_t>> blocks;  // registered resources outlive the test
  for (const TCase& damaged : Cases) {
    SCOPED_TRACE(damaged.Name);
    blocks.push_back(damaged.Bytes);
    platform::RegisterModuleResource("S_STRINGTABLE", damaged.Name, blocks.back().data(), blocks.back().size());
    TS_StringResource table(damaged.Name);
    EXPECT_EQ(table.GetString(damaged.IntactId), damaged.IntactText);
    EXPECT_EQ(table.GetString(damaged.DamagedId), "");
  }
}

}  // namespace
}  // namespace qel::archive
