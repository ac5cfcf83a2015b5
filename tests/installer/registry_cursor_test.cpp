#include "installer/registry_cursor.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/registry.h"
#include "support/exception_message.h"

namespace qel::installer {
namespace {

// Every test works below this per-user key and removes it again.
constexpr const char* TestKey = "QelCursorTest";

class RegistryCursorTest : public ::testing::Test {
 protected:
  void TearDown() override {
    TRegistryCursor cursor;
    cursor.DeleteKey(TestKey);
  }
};

TEST_F(RegistryCursorTest, WritesAndReadsValuesInSectionsOfTheCurrentKey) {
  {
    TRegistryCursor cursor;
    EXPECT_EQ(cursor.RootKey(), platform::RegistryCurrentUser);
    ASSERT_TRUE(cursor.OpenKey(TestKey, true));
    ASSERT_TRUE(cursor.OpenKey("Qel Orvane", true));
    cursor.WriteString("Option", "Program Path", "C:\\Suite\\Dovra.exe");
  }
  TRegistryCursor cursor;
  ASSERT_TRUE(cursor.OpenKey(std::string(TestKey) + "\\Qel Orvane", false));
  EXPECT_EQ(cursor.ReadString("Option", "Program Path", "none"), "C:\\Suite\\Dovra.exe");
  EXPECT_EQ(cursor.ReadString("OPTION", "program path", "none"), "C:\\Suite\\Dovra.exe") << "names ignore case";
  EXPECT_EQ(cursor.ReadString("Option", "Missing", "none"), "none");
  EXPECT_EQ(cursor.ReadString("Missing", "Program Path", "C:"), "C:");
}

// The installer walks to its keys one name at a time and goes on from wherever a failing step
// left it.
TEST_F(RegistryCursorTest, AFailedOpenLeavesTheCursorWhereItWas) {
  TRegistryCursor cursor;
  ASSERT_TRUE(cursor.OpenKey(TestKey, true));
  const platform::RegistryKey reached = cursor.CurrentKey();
  EXPECT_FALSE(cursor.OpenKey("Not There", false));
  EXPECT_EQ(cursor.CurrentKey(), reached);
  cursor.WriteString("Section", "Value", "here");
  TRegistryCursor reader;
  ASSERT_TRUE(reader.OpenKey(TestKey, false));
  EXPECT_EQ(reader.ReadString("Section", "Value", ""), "here");
}

TEST_F(RegistryCursorTest, DeleteKeyRemovesTheWholeTree) {
  {
    TRegistryCursor cursor;
    ASSERT_TRUE(cursor.OpenKey(std::string(TestKey) + "\\Uninstall", true));
    cursor.WriteString("Qel Orvane", "DisplayName", "Qel Orvane");
    ASSERT_TRUE(cursor.OpenKey("Qel Orvane\\Deeper\\Deepest", true));
    cursor.WriteString("Leaf", "v", "1");
  }
  TRegistryCursor cursor;
  ASSERT_TRUE(cursor.OpenKey(std::string(TestKey) + "\\Uninstall", false));
  EXPECT_TRUE(cursor.DeleteKey("Qel Orvane"));
  EXPECT_EQ(cursor.ReadString("Qel Orvane", "DisplayName", "gone"), "gone");
  EXPECT_FALSE(cursor.DeleteKey("Qel Orvane"));
  EXPECT_FALSE(cursor.OpenKey("Qel Orvane", false));
}

TEST_F(RegistryCursorTest, ANewRootClosesTheCurrentKey) {
  TRegistryCursor cursor;
  EXPECT_NE(cursor.CurrentKey(), platform::NoRegistryKey) << "a new cursor stands at Software";
  cursor.SetRootKey(platform::RegistryLocalMachine);
  EXPECT_EQ(cursor.CurrentKey(), platform::NoRegistryKey);
  EXPECT_EQ(cursor.RootKey(), platform::RegistryLocalMachine);
}

}  // namespace
}  // namespace qel::installer
