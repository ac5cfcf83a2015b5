// The switches deployment tools pass: "/S", "/D=" (the rest of the line), "/LOG=", and "u".
#include "installer/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qel::installer {
namespace {

// The line as typed, and as split into words by the system.
struct TCase {
  std::string Tail;
  std::vector<std::string> Words;
  bool Silent;
  bool Uninstall;
  std::string Directory;
  std::string LogFile;
};

TEST(CommandLine, SwitchesAndTheFolderAfterDAreReadAsDeploymentToolsPassThem) {
  const TCase cases[] = {
      {"", {}, false, false, "", ""},
      {"u", {"u"}, false, true, "", ""},
      {"U /S", {"U", "/S"}, true, false, "", ""},
      {"u /S", {"u", "/S"}, true, true, "", ""},
      {"/S u", {"/S", "u"}, true, true, "", ""},
      {"/s /LOG=C:\\logs\\setup.log u", {"/s", "/LOG=C:\\logs\\setup.log", "u"}, true, true, "", "C:\\logs\\setup.log"},
      // The rest of the line, blanks and all, unquoted: a "/S" there belongs to the folder.
      {"/S /D=C:\\Program Files\\My Qel ", {"/S", "/D=C:\\Program", "Files\\My", "Qel"}, true, false,
       "C:\\Program Files\\My Qel", ""},
      {"/D=C:\\a /S", {"/D=C:\\a", "/S"}, false, false, "C:\\a /S", ""},
      // Quoted all the same, round the switch or round the folder.
      {"/S \"/D=C:\\My Qel\"", {"/S", "/D=C:\\My Qel"}, true, false, "C:\\My Qel", ""},
      {"/S /D=\"C:\\My Qel\"", {"/S", "/D=C:\\My Qel"}, true, false, "C:\\My Qel", ""},
      // "/D=" inside another word is not the switch.
      {"/LOG=C:\\x/D=y.log /D=C:\\Suite", {"/LOG=C:\\x/D=y.log", "/D=C:\\Suite"}, false, false, "C:\\Suite",
       "C:\\x/D=y.log"},
  };
  for (const TCase& c : cases) {
    const TCommandLine line = ParseCommandLine(c.Words, c.Tail);
    EXPECT_EQ(line.Silent, c.Silent) << c.Tail;
    EXPECT_EQ(line.Uninstall(), c.Uninstall) << c.Tail;
    EXPECT_EQ(line.Directory, c.Directory) << c.Tail;
    EXPECT_EQ(line.LogFile, c.LogFile) << c.Tail;
  }
}

}  // namespace
}  // namespace qel::installer
