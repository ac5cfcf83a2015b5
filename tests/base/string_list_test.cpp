#include "base/string_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"

namespace qel::base {
namespace {

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> lines;
  for (std::int32_t i = 0; i < list.Count(); ++i) lines.push_back(list.Strings(i));
  return lines;
}

std::string StreamText(const TMemoryStream& stream) {
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

TEST(StringListTest, LoadSplitsAtEveryKindOfLineBreak) {
  struct Case {
    std::string Text;
    std::vector<std::string> Lines;
  };
  const Case cases[] = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},  // a last line without a break is kept
      {"a\rb\nc", {"a", "b", "c"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR is two breaks
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\r\r\n", {"a", ""}},
      {"\r\n", {""}},
      {"", {}},
      {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},  // a NUL ends the text
      {std::string("\0a", 2), {}},
      {"Docs\\readme.txt\n\xE9t\xE9", {"Docs\\readme.txt", "\xE9t\xE9"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.Add("left over");
    list.SetText(c.Text);
    EXPECT_EQ(Lines(list), c.Lines) << c.Text;

    TMemoryStream stream(std::vector<std::uint8_t>(c.Text.begin(), c.Text.end()));
    TStringList loaded;
    loaded.LoadFromStream(stream);
    EXPECT_EQ(Lines(loaded), c.Lines) << c.Text;
  }
}

TEST(StringListTest, SaveEndsEveryLineWithCrLf) {
  TStringList list;
  EXPECT_EQ(list.Add("DoVra.exe"), 0);
  EXPECT_EQ(list.Add("Docs\\"), 1);
  EXPECT_EQ(list.Add("Docs\\readme.txt"), 2);
  TMemoryStream stream;
  list.SaveToStream(stream);
  EXPECT_EQ(StreamText(stream), "DoVra.exe\r\nDocs\\\r\nDocs\\readme.txt\r\n");

  TStringList withEmpty;
  withEmpty.Add("");
  withEmpty.Add("");
  EXPECT_EQ(withEmpty.Text(), "\r\n\r\n");

  TStringList empty;
  TMemoryStream emptyStream;
  empty.SaveToStream(emptyStream);
  EXPECT_EQ(emptyStream.Bytes().size(), 0u);
}

TEST(StringListTest, LoadFromStreamStartsAtTheCurrentPosition) {
  std::string text = "skip\r\none\r\ntwo";
  TMemoryStream stream(std::vector<std::uint8_t>(text.begin(), text.end()));
  stream.SetPosition(6);
  TStringList list;
  list.LoadFromStream(stream);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"one", "two"}));
}

TEST(StringListTest, IndexesAreCheckedAndLookupIgnoresCase) {
  TStringList list;
  list.Add("Alpha");
  list.Add("beta");
  EXPECT_EQ(list.IndexOf("BETA"), 1);
  EXPECT_EQ(list.IndexOf("gamma"), -1);
  list.SetStrings(0, "Gamma");
  EXPECT_EQ(list.IndexOf("gamma"), 0);
  list.Delete(0);
  EXPECT_EQ(Lines(list), std::vector<std::string>{"beta"});

  for (std::int32_t bad : {-1, 1, 5}) {
    try {
      list.Strings(bad);
      FAIL() << bad;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(bad) + ")");
    }
    EXPECT_THROW(list.Delete(bad), EListError);
    EXPECT_THROW(list.SetStrings(bad, "x"), EListError);
  }
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListTest, AssignCopiesAnotherListOnly) {
  TStringList source;
  source.Add("one");
  source.Add("two");
  TStringList target;
  target.Add("old");
  target.Assign(source);
  EXPECT_EQ(Lines(target), Lines(source));
  target.Assign(target);
  EXPECT_EQ(Lines(target), Lines(source));

  TPersistent other;
  try {
    target.Assign(other);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TPersistent to a TStringList");
  }
  EXPECT_EQ(Lines(target), Lines(source));
}

}  // namespace
}  // namespace qel::base
