// Resources a library registers with the program.
#include "platform/resources.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace qel::platform {
namespace {

TEST(Resources, RegisteredResourcesAreFoundIgnoringCase) {
  static const std::uint8_t table[] = {1, 0, 3, 'a', 'b', 'c', 0, 0};
  RegisterModuleResource("S_TestTable", "Platform_Test", table, sizeof table);
  const ModuleResource found = FindModuleResource("s_testtable", "PLATFORM_TEST");
  EXPECT_EQ(found.Data, table);
  EXPECT_EQ(found.Size, sizeof table);

  const ModuleResource missing = FindModuleResource("S_TestTable", "Platform_Other");
  EXPECT_EQ(missing.Data, nullptr);
  EXPECT_EQ(missing.Size, 0u);
  EXPECT_EQ(FindModuleResource("Other_Type", "Platform_Test").Data, nullptr) << "the type counts too";
}

}  // namespace
}  // namespace qel::platform
