// The shell services: the programs folder, shell links, deleting through the file
// operation, launching programs and the scripted folder picker.
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/ui.h"
#include "support/scratch.h"

#ifndef _WIN32
#include "platform/posix/sandbox.h"
#include "platform/posix/shell_link_file.h"
#endif

namespace qel::platform {
namespace {

using qel::testing::ScratchDir;

using TNames = std::vector<std::string>;

// The link's header: its size 0x4C, then CLSID_ShellLink in stored byte order.
const std::string LinkHeaderStart("\x4C\0\0\0\x01\x14\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 20);

// The shell's list form: each path ended by a NUL, one more NUL after the last.
std::string ShellList(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) list += path + '\0';
  return list + '\0';
}

// Quiet flags: no question, no error box, no progress window, so the test runs the same
// with the real shell.
constexpr std::uint32_t QuietDelete = fofNoConfirmation | fofNoErrorUI | fofSilent;

class TScriptedDialogs final {
 public:
  TScriptedDialogs() { TDialogScript::Start(); }
  ~TScriptedDialogs() { TDialogScript::Stop(); }
  TScriptedDialogs(const TScriptedDialogs&) = delete;
  TScriptedDialogs& operator=(const TScriptedDialogs&) = delete;
};

class Shell : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitializeShellServices()); }
};

TEST_F(Shell, ProgramsFolderIsAnExistingFolder) {
  std::string folder;
  ASSERT_TRUE(GetProgramsFolder(folder));
  EXPECT_TRUE(DirectoryExists(folder)) << folder;
  EXPECT_NE(folder.back(), '\\');
#ifndef _WIN32
  EXPECT_EQ(folder, posix::Sandbox().ProgramsDir);
#endif
}

TEST_F(Shell, LinksAreSavedInTheShellLinkFormat) {
  ScratchDir dir;
  dir.Write("Suite\\Tool.exe", "MZ");
  const std::string target = dir.Path() + "Suite\\Tool.exe";
  TShellLink link;
  TShellLinkFailure failure;
  ASSERT_TRUE(link.Create(failure)) << failure.SystemText;
  link.SetPath(target);
  link.SetArguments("u \"two words\"");
  link.SetWorkingDirectory(dir.Path() + "Suite\\");
  EXPECT_TRUE(link.Save(dir.Path() + "Tool.lnk"));
  EXPECT_TRUE(link.Save(dir.Path() + "Tool.lnk")) << "an existing link is replaced";
  EXPECT_TRUE(link.Save(dir.Path() + "Suite\\Other.lnk"));
  EXPECT_FALSE(link.Save(dir.Path() + "missing\\Tool.lnk")) << "no folder, no link";
  EXPECT_EQ(dir.Names(), (TNames{"Suite", "Tool.lnk"}));
  for (const std::string name : {"Tool.lnk", "Suite\\Other.lnk"}) {
    EXPECT_EQ(dir.Read(name).substr(0, LinkHeaderStart.size()), LinkHeaderStart) << name;
  }
#ifndef _WIN32
  for (const std::string name : {"Tool.lnk", "SUITE\\other.LNK"}) {
    posix::TShellLinkFields fields;
    ASSERT_TRUE(posix::ReadShellLinkFile(dir.Path() + name, fields)) << name;
    EXPECT_EQ(fields.Target, target);
    EXPECT_EQ(fields.Arguments, "u \"two words\"");
    EXPECT_EQ(fields.WorkingDirectory, dir.Path() + "Suite\\");
  }
#endif
}

TEST_F(Shell, DeletingAListRemovesFilesAndFoldersWithTheirContentOnly) {
  ScratchDir dir;
  for (const char* name : {"a.txt", "b.txt", "keep.txt", "Docs\\c.txt", "Docs\\Sub\\d.txt", "Docs2\\e.txt"}) {
    dir.Write(name, name);
  }
  const std::string all = ShellList({dir.Path() + "a.txt", dir.Path() + "DOCS", dir.Path() + "B.TXT"});
  EXPECT_EQ(ShellFileOperation(0, foDelete, all, all, QuietDelete, ""), 0);
  EXPECT_EQ(dir.Names(), (TNames{"Docs2", "keep.txt"}));
  EXPECT_EQ(dir.Names("Docs2"), TNames{"e.txt"});

  dir.Write("f.txt", "f");
  const std::string withMissing = ShellList({dir.Path() + "missing.txt", dir.Path() + "f.txt"});
  EXPECT_NE(ShellFileOperation(0, foDelete, withMissing, "", QuietDelete, ""), 0) << "a missing entry is a failure";
#ifndef _WIN32
  EXPECT_EQ(dir.Names(), (TNames{"Docs2", "keep.txt"})) << "the entries that are there still go";
#endif
  EXPECT_EQ(dir.Read("keep.txt"), "keep.txt");
}

TEST_F(Shell, LaunchingAMissingProgramFails) {
  ScratchDir dir;
  EXPECT_LE(ShellExecute(0, dir.Path() + "missing.exe", "", dir.Path()), 32);
  EXPECT_LE(ShellExecute(0, "missing.exe", "", dir.Path()), 32);
}

TEST_F(Shell, FolderPickerAnswersFromTheScript) {
  TScriptedDialogs script;
  TDialogScript::PushChoice(std::string("C:\\Chosen Folder"));
  TDialogScript::PushChoice(std::nullopt);
  EXPECT_EQ(BrowseForFolder("Where to?"), "C:\\Chosen Folder");
  EXPECT_EQ(BrowseForFolder("Again"), "") << "a cancelled picker gives the empty text";
  EXPECT_EQ(BrowseForFolder("Once more"), "") << "an empty queue cancels";
  ASSERT_EQ(TDialogScript::Shown().size(), 3u);
  const TShownDialog& shown = TDialogScript::Shown()[0];
  EXPECT_EQ(shown.Kind, "folder");
  EXPECT_EQ(shown.Text, "");
  EXPECT_EQ(shown.Caption, "Where to?");
}

#ifndef _WIN32

namespace fs = std::filesystem;

TEST_F(Shell, LinkFieldsLeftEmptyAreLeftOut) {
  ScratchDir dir;
  TShellLink link;
  TShellLinkFailure failure;
  ASSERT_TRUE(link.Create(failure));
  ASSERT_TRUE(link.Save(dir.Path() + "Empty.lnk"));
  const std::string bytes = dir.Read("Empty.lnk");
  EXPECT_EQ(bytes.size(), 0x4Cu + 4u) << "the header and the terminal block";
  posix::TShellLinkFields fields{"x", "y", "z"};
  ASSERT_TRUE(posix::ReadShellLinkFile(dir.Path() + "Empty.lnk", fields));
  EXPECT_EQ(fields.Target, "");
  EXPECT_EQ(fields.Arguments, "");
  EXPECT_EQ(fields.WorkingDirectory, "");

  EXPECT_TRUE(posix::ShellLinkBytes({std::string("a\0b", 3), "", ""}).empty()) << "a NUL would cut the target";
  EXPECT_TRUE(posix::ShellLinkBytes({"C:\\a.exe", std::string(0x10000, 'x'), ""}).empty());
  EXPECT_FALSE(posix::ShellLinkBytes({"C:\\a.exe", std::string(0xFFFF, 'x'), ""}).empty());
}

TEST_F(Shell, ACutOrForeignLinkFileIsNotRead) {
  ScratchDir dir;
  const std::string bytes = posix::ShellLinkBytes({"C:\\Suite\\Tool.exe", "-x", "C:\\Suite\\"});
  ASSERT_FALSE(bytes.empty());
  posix::TShellLinkFields fields;
  // The parser stops before the terminal block, so only cuts inside the fields must fail.
  for (std::size_t size = 0; size + 4 < bytes.size(); ++size) {
    dir.Write("cut.lnk", bytes.substr(0, size));
    EXPECT_FALSE(posix::ReadShellLinkFile(dir.Path() + "cut.lnk", fields)) << size;
  }
  std::string otherClass = bytes;
  otherClass[4] = '\x02';
  dir.Write("other.lnk", otherClass);
  EXPECT_FALSE(posix::ReadShellLinkFile(dir.Path() + "other.lnk", fields));
  EXPECT_FALSE(posix::ReadShellLinkFile(dir.Path() + "missing.lnk", fields));
}

void PutU16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>(value >> 8);
}

void PutU32(std::string& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) PutU16(out, static_cast<unsigned char>(c));
  return out;
}

// A link as the Windows shell writes one: an item-ID list first, link information with
// Unicode paths (base path + common suffix), Unicode strings, extra data before the end.
TEST_F(Shell, LinksWrittenByTheWindowsShellAreRead) {
  std::string link = LinkHeaderStart;
  PutU32(link, 0x01 | 0x02 | 0x04 | 0x10 | 0x20 | 0x80);  // ID list, info, name, dir, args, Unicode
  link.append(0x4C - link.size(), '\0');
  PutU16(link, 4);
  link.append("\x02\0\0\0", 4);  // one empty item, then the list's end

  const std::string base = "C:\\Suite\\";
  const std::string suffix = "Tool.exe";
  std::string info;
  const std::uint32_t header = 0x24;
  const std::uint32_t volume = header;
  const std::uint32_t volumeSize = 0x11;
  const std::uint32_t ansiBase = volume + volumeSize;
  const std::uint32_t ansiSuffix = ansiBase + 1;  // the ANSI forms are left empty
  const std::uint32_t wideBase = ansiSuffix + 1;
  const std::uint32_t wideSuffix = wideBase + static_cast<std::uint32_t>(2 * (base.size() + 1));
  const std::uint32_t infoSize = wideSuffix + static_cast<std::uint32_t>(2 * (suffix.size() + 1));
  for (std::uint32_t value : {infoSize, header, 1u, volume, ansiBase, 0u, ansiSuffix, wideBase, wideSuffix}) PutU32(info, value);
  for (std::uint32_t value : {volumeSize, 3u, 0x1234u, 0x10u}) PutU32(info, value);
  info += std::string(1, '\0') + '\0' + '\0';
  info += Utf16(base) + std::string(2, '\0') + Utf16(suffix) + std::string(2, '\0');
  ASSERT_EQ(info.size(), infoSize);
  link += info;
  for (const std::string text : {"Tool", "C:\\Suite", "/s \xE9t\xE9"}) {
    PutU16(link, static_cast<std::uint32_t>(text.size()));
    link += Utf16(text);
  }
  PutU32(link, 8);
  PutU32(link, 0xA0000003);  // an extra-data block the reader passes over
  PutU32(link, 0);

  ScratchDir dir;
  dir.Write("windows.lnk", link);
  posix::TShellLinkFields fields;
  ASSERT_TRUE(posix::ReadShellLinkFile(dir.Path() + "windows.lnk", fields));
  EXPECT_EQ(fields.Target, "C:\\Suite\\Tool.exe");
  EXPECT_EQ(fields.WorkingDirectory, "C:\\Suite");
  EXPECT_EQ(fields.Arguments, "/s \xC3\xA9t\xC3\xA9");
}

TEST_F(Shell, DeletingAsksAndReportsThroughTheMessageBoxes) {
  ScratchDir dir;
  dir.Write("a.txt", "a");
  dir.Write("b.txt", "b");
  const std::string both = ShellList({dir.Path() + "a.txt", dir.Path() + "b.txt"});
  {
    TScriptedDialogs script;  // the empty queue answers No
    EXPECT_NE(ShellFileOperation(0, foDelete, both, "", 0, ""), 0);
    EXPECT_EQ(dir.Names(), (TNames{"a.txt", "b.txt"})) << "No keeps everything";
    ASSERT_EQ(TDialogScript::Shown().size(), 1u);
    EXPECT_EQ(TDialogScript::Shown()[0].Text, "Are you sure you want to delete these 2 items?");
    EXPECT_EQ(TDialogScript::Shown()[0].Flags, mbYesNo | mbIconQuestion);
    TDialogScript::PushAnswer(idYes);
    EXPECT_EQ(ShellFileOperation(0, foDelete, ShellList({dir.Path() + "a.txt"}), "", fofAllowUndo, ""), 0);
    EXPECT_EQ(TDialogScript::Shown()[1].Text, "Are you sure you want to delete '" + dir.Path() + "a.txt'?");
    EXPECT_EQ(dir.Names(), TNames{"b.txt"}) << "there is no recycle bin: undo deletes as well";
  }
  {
    TScriptedDialogs script;
    // The flags of an uninstall: no question, but the shell's error box.
    const std::string list = ShellList({dir.Path() + "gone.txt", dir.Path() + "b.txt"});
    EXPECT_EQ(ShellFileOperation(0, foDelete, list, list, fofNoConfirmation | fofWantMappingHandle | fofNoConfirmMkDir, ""), 2);
    EXPECT_TRUE(dir.Names().empty());
    ASSERT_EQ(TDialogScript::Shown().size(), 1u);
    EXPECT_EQ(TDialogScript::Shown()[0].Text,
              "Cannot delete " + dir.Path() + "gone.txt: The system cannot find the file specified.");
    EXPECT_EQ(TDialogScript::Shown()[0].Flags, mbOK | mbIconStop);
  }
}

TEST_F(Shell, DeletingNeverReachesADriveRootOrAnEmptyName) {
  // A drive of its own, so a fault here could cost nothing but this folder.
  const fs::path drive = fs::path(posix::Sandbox().Root) / "drive_q";
  fs::create_directories(drive / "sub");
  std::ofstream(drive / "precious.txt") << "keep";
  ScratchDir dir;
  dir.Write("a.txt", "a");
  for (const std::string root : {"Q:\\", "q:/", "Q:", "Q:\\sub\\..", "Q:\\.\\"}) {
    EXPECT_EQ(ShellFileOperation(0, foDelete, ShellList({dir.Path() + "a.txt", root}), "", QuietDelete, ""), 0x7C) << root;
  }
  EXPECT_TRUE(fs::exists(drive / "precious.txt"));
  EXPECT_TRUE(fs::exists(drive / "sub"));
  EXPECT_EQ(dir.Names(), TNames{"a.txt"}) << "a list naming a root is refused as a whole";
  EXPECT_NE(ShellFileOperation(0, foDelete, std::string(2, '\0'), "", QuietDelete, ""), 0) << "an empty list";
  EXPECT_NE(ShellFileOperation(0, foDelete, "", "", QuietDelete, ""), 0);
  EXPECT_NE(ShellFileOperation(0, foDelete, ShellList({dir.Path() + "*.txt"}), "", QuietDelete, ""), 0) << "no wildcards";
  EXPECT_EQ(dir.Names(), TNames{"a.txt"});
  EXPECT_EQ(ShellFileOperation(0, foCopy, ShellList({dir.Path() + "a.txt"}), ShellList({dir.Path() + "b.txt"}), QuietDelete, ""), 1);
  fs::remove_all(drive);
}

// Polls for a file's content for up to 5 s: the started program runs on its own.
std::string WaitForContent(const ScratchDir& dir, const std::string& name) {
  for (int step = 0; step < 500; ++step) {
    const std::string content = dir.Read(name);
    if (!content.empty() && content.back() == '\n') return content;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return dir.Read(name);
}

TEST_F(Shell, LaunchingStartsAnExecutableInItsWorkingDirectory) {
  ScratchDir dir;
  dir.Write("Tools\\run.sh", "#!/bin/sh\necho \"$1|$2|$(pwd)\" > marker.txt\n");
  dir.Write("Tools\\notes.txt", "just text");
  fs::permissions(dir.PosixPath() + "/Tools/run.sh", fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_GT(ShellExecute(0, "RUN.SH", "\"two words\" x", dir.Path() + "tools"), 32);
  EXPECT_EQ(WaitForContent(dir, "Tools/marker.txt"), "two words|x|" + dir.PosixPath() + "/Tools\n");

  EXPECT_EQ(ShellExecute(0, dir.Path() + "Tools\\notes.txt", "", dir.Path()), 31) << "no program, no association";
  EXPECT_EQ(ShellExecute(0, dir.Path() + "Tools", "", dir.Path()), 31) << "a folder";
  EXPECT_EQ(ShellExecute(0, "missing.exe", "", dir.Path()), 2);
  EXPECT_EQ(ShellExecute(0, dir.Path() + "none\\missing.exe", "", dir.Path()), 3);
  EXPECT_EQ(ShellExecute(0, dir.Path() + "Tools\\run.sh", "", dir.Path() + "none"), 3) << "no working directory";
}

#endif

}  // namespace
}  // namespace qel::platform
