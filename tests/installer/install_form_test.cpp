#include "installer/install_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/text.h"
#include "installer/registry_cursor.h"
#include "installer/uninstallation.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "support/exception_message.h"
#include "support/scratch.h"
#include "support/zip_builder.h"
#ifndef _WIN32
#include <filesystem>
#include <fstream>

#include "platform/posix/sandbox.h"
#include "platform/posix/shell_link_file.h"
#include "support/limited_drive.h"
#endif

namespace qel::installer {
namespace {

using platform::TDialogScript;
using testing::ScratchDir;
using TNames = std::vector<std::string>;

std::string ProgramFilesDir() {
  TRegistryCursor registry;
  registry.SetRootKey(platform::RegistryLocalMachine);
  registry.OpenKey("SOFTWARE\\Microsoft\\Windows", false);
  return registry.ReadString("CurrentVersion", "ProgramFilesDir", "C:");
}

std::string MenuFolder() {
  std::string programs;
  EXPECT_TRUE(platform::GetProgramsFolder(programs));
  return programs + "\\Qel\\Qel Orvane";
}

std::string UninstallEntry(const std::string& name) {
  TRegistryCursor registry;
  registry.SetRootKey(platform::RegistryLocalMachine);
  registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false);
  return registry.ReadString("Qel Orvane", name, "<none>");
}

// A DWORD value of the uninstall entry; 0xFFFFFFFF when it is missing or of another type.
std::uint32_t UninstallNumber(const std::string& name) {
  platform::RegistryKey key = platform::NoRegistryKey;
  if (platform::RegistryOpenKey(platform::RegistryLocalMachine,
                                "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Qel Orvane", key) != 0) {
    return 0xFFFFFFFF;
  }
  std::uint32_t type = 0;
  std::string data;
  const bool found = platform::RegistryQueryValue(key, name, type, data) == 0;
  platform::RegistryCloseKey(key);
  if (!found || type != platform::RegistryDword || data.size() != 4) return 0xFFFFFFFF;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
  return value;
}

// The target and arguments of a link, where the stand-in can read them back; under Windows
// only that the link is there.
void ExpectLinkTarget(const std::string& linkFile, const std::string& expected) {
#ifndef _WIN32
  platform::posix::TShellLinkFields fields;
  ASSERT_TRUE(platform::posix::ReadShellLinkFile(linkFile, fields)) << linkFile;
  EXPECT_EQ(fields.Target + (fields.Arguments.empty() ? "" : " " + fields.Arguments), expected);
#else
  EXPECT_TRUE(platform::FileExists(linkFile)) << expected;
#endif
}

std::string ProgramPath() {
  TRegistryCursor registry;
  registry.OpenKey("Qel\\Qel Orvane", false);
  return registry.ReadString("Option", "Program Path", "<none>");
}

std::vector<std::string> MessageTexts() {
  std::vector<std::string> texts;
  for (const platform::TShownDialog& shown : TDialogScript::Shown()) texts.push_back(shown.Text);
  return texts;
}

// A scratch folder holding image.zip and a stand-in for the installer's own file, made the
// current directory; dialogs are scripted. The suite's traces in the registry and the Start
// menu are removed afterwards.
class InstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::InitializeShellServices());
    FPreviousDir = platform::GetCurrentDir();
    testing::ZipBuilder image;
    image.AddStored("DoVra.exe", "main program");
    image.AddStored("Docs/", "");
    image.AddStored("Docs/readme.txt", "read me");
    WriteImage(image);
    FSource.Write("Install.exe", "the installer");
    ASSERT_TRUE(platform::SetCurrentDir(FSource.Path()));
    TDialogScript::Start();
  }
  void TearDown() override {
    TDialogScript::Stop();
    platform::SetCurrentDir(FPreviousDir);
    testing::DeleteTree(MenuFolder());
    TRegistryCursor user;
    user.DeleteKey("Qel");
    TRegistryCursor machine;
    machine.SetRootKey(platform::RegistryLocalMachine);
    machine.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false);
    machine.DeleteKey("Qel Orvane");
  }

  std::string InstallDir() const { return FTarget.Path() + "Suite"; }

  void WriteImage(const testing::ZipBuilder& image) {
    const testing::Bytes bytes = image.Build();
    FSource.Write("image.zip", std::string(bytes.begin(), bytes.end()));
  }

  // Runs the installed copy with "u", the first question answered OK.
  // The exit status the window ends with.
  int Uninstall() {
    TDialogScript::Start();
    TDialogScript::PushAnswer(platform::idOK);
    TInstallForm form({"u"}, InstallDir() + "\\Install.exe");
    form.ShowForm();
    EXPECT_TRUE(form.CloseRequested());
    return form.ExitCode;
  }

  // Walks the wizard to the end with the given directory; the completion question gets answer.
  void Install(TInstallForm& form, const std::string& directory, int answer = platform::idCancel) {
    form.ShowForm();
    form.NextButton.Click();
    form.EditDir.SetText(directory);
    TDialogScript::PushAnswer(answer);
    form.NextButton.Click();
  }

  ScratchDir FSource;
  ScratchDir FTarget;
  std::string FPreviousDir;
};

TEST_F(InstallerTest, TheWizardWalksItsPagesWithNextBackAndCancel) {
  TInstallForm form({}, FSource.Path() + "Install.exe");
  form.ShowForm();
  EXPECT_EQ(form.EditDir.Text(), ProgramFilesDir() + "\\Qel\\Qel Orvane");
  EXPECT_TRUE(form.Panel2.Showing());
  EXPECT_FALSE(form.Panel3.Showing());
  EXPECT_FALSE(form.Panel5.Showing());
  EXPECT_FALSE(form.BackButton.Enabled());

  form.BackButton.Click();  // disabled: nothing happens
  form.NextButton.Click();
  EXPECT_TRUE(form.Panel3.Showing());
  EXPECT_EQ(form.llStepInfo.Caption(), "Select directory");
  EXPECT_EQ(form.NextButton.Caption(), "Copy >>");
  form.EditDir.SetText("D:\\Chosen");
  form.BackButton.Click();
  EXPECT_TRUE(form.Panel2.Showing());
  EXPECT_EQ(form.NextButton.Caption(), "Next >>");
  EXPECT_EQ(form.llStepInfo.Caption(), "Welcome to Qel Orvane Installation");
  form.BackButton.Click();
  EXPECT_TRUE(form.Panel2.Showing()) << "Back on the welcome page does nothing";
  EXPECT_TRUE(form.BackButton.Enabled());
  form.NextButton.Click();
  EXPECT_EQ(form.EditDir.Text(), "D:\\Chosen");

  // Cancel asks; only OK closes.
  TDialogScript::PushAnswer(platform::idCancel);
  form.ExitButton.Click();
  EXPECT_FALSE(form.CloseRequested());
  EXPECT_TRUE(form.Panel3.Showing());
  TDialogScript::PushAnswer(platform::idOK);
  form.ExitButton.Click();
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(MessageTexts(), (TNames{"Do you really want to exit?", "Do you really want to exit?"}));
  EXPECT_EQ(TDialogScript::Shown()[0].Caption, "Attention");
  EXPECT_EQ(TDialogScript::Shown()[0].Flags, platform::mbOKCancel | platform::mbIconInformation);
}

TEST_F(InstallerTest, TheFolderPickerReplacesTheFieldEvenWhenCancelled) {
  TInstallForm form({}, FSource.Path() + "Install.exe");
  form.ShowForm();
  form.NextButton.Click();
  TDialogScript::PushChoice(std::string("E:\\Picked"));
  form.BrowseDirButton.Click();
  EXPECT_EQ(form.EditDir.Text(), "E:\\Picked");
  TDialogScript::PushChoice(std::nullopt);
  form.BrowseDirButton.Click();
  EXPECT_EQ(form.EditDir.Text(), "");
}

TEST_F(InstallerTest, InstallPutsEverythingInPlace) {
  TInstallForm form({}, FSource.Path() + "Install.exe");
  Install(form, InstallDir());
  ASSERT_TRUE(form.CloseRequested());
  EXPECT_TRUE(form.SkipExitQuery());
  EXPECT_EQ(form.ExitCode, 0);
  EXPECT_EQ(FTarget.Read("Suite\\DoVra.exe"), "main program");
  EXPECT_EQ(FTarget.Read("Suite\\Docs\\readme.txt"), "read me");
  EXPECT_EQ(FTarget.Read("Suite\\Install.exe"), "the installer");
  EXPECT_EQ(FTarget.Read("Suite\\install.dat"), "DoVra.exe\r\nDocs\\\r\nDocs\\readme.txt\r\n");
  EXPECT_EQ(form.ProgressBar2.Position(), 100);

  const TNames links = {"Pixet.lnk", "Qel Dayvo.lnk", "Qel Dovra.lnk", "Qel Farrow.lnk", "Qel Lantern.lnk",
                        "Qel Marken.lnk", "Qel Scrivo.lnk", "Qel Zonda.lnk", "Uninstall.lnk"};
  for (const std::string& link : links) EXPECT_TRUE(platform::FileExists(MenuFolder() + "\\" + link)) << link;

  ExpectLinkTarget(MenuFolder() + "\\Uninstall.lnk", InstallDir() + "\\Install.exe u");
  EXPECT_EQ(form.llFileName.Caption(), "Docs\\readme.txt");
  EXPECT_EQ(form.llFileCount.Caption(), "3 of 3");

  // The entry the list of installed programs shows; the command quoted, so a blank in the
  // path cannot start another program.
  EXPECT_EQ(UninstallEntry("DisplayName"), "Qel Orvane");
  EXPECT_EQ(UninstallEntry("UninstallString"), "\"" + InstallDir() + "\\Install.exe\" u");
  EXPECT_EQ(UninstallEntry("DisplayIcon"), InstallDir() + "\\Dovra.exe");
  EXPECT_EQ(UninstallEntry("DisplayVersion"), "1.0");
  EXPECT_EQ(UninstallEntry("Publisher"), "Qel");
  EXPECT_EQ(UninstallEntry("InstallLocation"), InstallDir() + "\\");
  EXPECT_EQ(UninstallNumber("EstimatedSize"), 1u) << "19 bytes take one KB";
  EXPECT_EQ(UninstallNumber("NoModify"), 1u);
  EXPECT_EQ(UninstallNumber("NoRepair"), 1u);
  EXPECT_EQ(ProgramPath(), InstallDir() + "\\Dovra.exe");
  EXPECT_EQ(MessageTexts(), TNames{"Installation complete. Run Qel Dovra?"});

  // A second install into the same place replaces everything under the same names.
  TInstallForm again({}, FSource.Path() + "Install.exe");
  Install(again, InstallDir() + "\\");
  EXPECT_TRUE(again.CloseRequested());
  EXPECT_EQ(FTarget.Read("Suite\\install.dat"), "DoVra.exe\r\nDocs\\\r\nDocs\\readme.txt\r\n");
  EXPECT_FALSE(platform::FileExists(MenuFolder() + "\\Qel Dovra(1).lnk"));
}

// A repair over an install whose files are read-only, by a download under another name:
// every file is replaced, and there is one of each shortcut, one manifest, one entry, all
// naming the copy this program made.
TEST_F(InstallerTest, InstallingTwiceReplacesReadOnlyFilesAndKeepsOneOfEverything) {
  testing::ZipBuilder image;
  image.AddStored("DoVra.exe", "main program");
  testing::ZipEntry locked;
  locked.Name = "Docs/locked.txt";
  locked.Data = testing::ToBytes("as shipped");
  locked.ExternalAttributes = 0x21;  // read-only
  image.Add(locked);
  WriteImage(image);
  FSource.Write("Setup.exe", "the installer, renamed");
  for (int round = 0; round < 2; ++round) {
    TDialogScript::Start();
    TInstallForm form({}, FSource.Path() + "Setup.exe");
    Install(form, InstallDir());
    ASSERT_TRUE(form.CloseRequested()) << round;
    EXPECT_EQ(MessageTexts(), TNames{"Installation complete. Run Qel Dovra?"}) << round;
    if (round == 0) {
      ASSERT_TRUE(platform::FileSetAttr(InstallDir() + "\\Docs\\locked.txt", 0));
      FTarget.Write("Suite\\Docs\\locked.txt", "changed");
      ASSERT_TRUE(platform::FileSetAttr(InstallDir() + "\\Docs\\locked.txt", platform::faReadOnly));
      ASSERT_TRUE(platform::FileSetAttr(MenuFolder() + "\\Pixet.lnk", platform::faReadOnly));
    }
  }
  EXPECT_EQ(FTarget.Read("Suite\\Docs\\locked.txt"), "as shipped");
  EXPECT_EQ(FTarget.Names("Suite"), (TNames{"DoVra.exe", "Docs", "Setup.exe", "install.dat"}));
  EXPECT_EQ(FTarget.Read("Suite\\install.dat"), "DoVra.exe\r\nDocs\\locked.txt\r\n");
  for (const auto& row : {"Pixet", "Qel Dayvo", "Qel Dovra", "Qel Farrow", "Qel Lantern", "Qel Marken",
                          "Qel Scrivo", "Qel Zonda", "Uninstall"}) {
    EXPECT_TRUE(platform::FileExists(MenuFolder() + "\\" + row + ".lnk")) << row;
    EXPECT_FALSE(platform::FileExists(MenuFolder() + "\\" + row + "(1).lnk")) << row;
  }
  ExpectLinkTarget(MenuFolder() + "\\Uninstall.lnk", InstallDir() + "\\Setup.exe u");
  EXPECT_EQ(UninstallEntry("UninstallString"), "\"" + InstallDir() + "\\Setup.exe\" u");
  platform::FileSetAttr(MenuFolder() + "\\Pixet.lnk", 0);
}

// The archive skips an entry or finds it damaged: the user hears which, not that the
// installation is complete, and the suite is still registered so that it can be repaired.
TEST_F(InstallerTest, AnEntryLostInExtractionIsReportedInsteadOfCompletion) {
  testing::ZipBuilder image;
  image.AddStored("DoVra.exe", "main program");
  testing::ZipEntry damaged;
  damaged.Name = "Docs/readme.txt";
  damaged.Data = testing::ToBytes("read me");
  damaged.Crc = 0x12345678;
  image.Add(damaged);
  WriteImage(image);
  TInstallForm form({}, FSource.Path() + "Install.exe");
  Install(form, InstallDir(), platform::idOK);
  EXPECT_TRUE(form.CloseRequested());
  ASSERT_EQ(TDialogScript::Shown().size(), 1u);
  const platform::TShownDialog& shown = TDialogScript::Shown()[0];
  EXPECT_EQ(shown.Flags, platform::mbOK | platform::mbIconStop);
  EXPECT_NE(shown.Text.find("Docs\\readme.txt: damaged"), std::string::npos) << shown.Text;
  EXPECT_EQ(shown.Text.find("Installation complete"), std::string::npos);
  EXPECT_FALSE(FTarget.Read("Suite\\DoVra.exe").empty());
  EXPECT_EQ(UninstallEntry("DisplayName"), "Qel Orvane");
}

// A repair from an image with a damaged entry keeps the working file that entry would have
// replaced; an entry named like a set-aside copy is a file like any other.
TEST_F(InstallerTest, ARepairFromADamagedImageKeepsTheWorkingFile) {
  {
    TInstallForm form({}, FSource.Path() + "Install.exe");
    Install(form, InstallDir());
  }
  testing::ZipBuilder image;
  testing::ZipEntry damaged;
  damaged.Name = "DoVra.exe";
  damaged.Data = testing::ToBytes("main program 2");
  damaged.Crc = 0x12345678;
  image.Add(damaged);
  image.AddStored("DoVra.exe.qel-setup-old", "an entry of its own");
  WriteImage(image);
  {
    TInstallForm form({}, FSource.Path() + "Install.exe");
    Install(form, InstallDir(), platform::idOK);
  }
  EXPECT_EQ(FTarget.Read("Suite\\DoVra.exe"), "main program");
  EXPECT_EQ(FTarget.Read("Suite\\DoVra.exe.qel-setup-old"), "an entry of its own");
  EXPECT_FALSE(platform::DirectoryExists(InstallDir() + "\\~qel-setup-old"));
}

// A name no ANSI code page spells is installed, recorded and uninstalled as itself: the user's
// file that an "_" stand-in would have named is never touched.
TEST_F(InstallerTest, AnEntryOfAnyNameIsInstalledAndUninstalledAsItself) {
  const std::string name = "\xE6\x97\xA5\xE6\x9C\xAC \xCE\xA9.txt";  // two CJK letters and Omega
  testing::ZipBuilder image;
  image.AddStored("DoVra.exe", "main program");
  testing::ZipEntry unicode;
  unicode.Name = name;
  unicode.Flags = 0x0800;
  unicode.Data = testing::ToBytes("unicode");
  image.Add(unicode);
  WriteImage(image);
  FTarget.Write("Suite/__ _.txt", "the user's own");
  TInstallForm form({}, FSource.Path() + "Install.exe");
  Install(form, InstallDir(), platform::idCancel);
  EXPECT_EQ(FTarget.Read("Suite\\" + name), "unicode");
  EXPECT_EQ(FTarget.Read("Suite\\install.dat"), "\xEF\xBB\xBF" "DoVra.exe\r\n" + name + "\r\n") << "UTF-8, marked";
  Uninstall();
  EXPECT_EQ(FTarget.Names("Suite"), std::vector<std::string>{"__ _.txt"});
  EXPECT_EQ(FTarget.Read("Suite\\__ _.txt"), "the user's own");
}

// An exit during the copy, answered OK, cancels it: the window stays while the copy stops
// before its next entry and what it made is undone, then says so and closes.
TEST_F(InstallerTest, AnExitDuringTheCopyCancelsItAndUndoesWhatItMade) {
  // Deflated, as one stored block: a method's reads are where the archive lets messages in.
  testing::ZipBuilder image;
  for (const std::string name : {"DoVra.exe", "Docs/readme.txt"}) {
    testing::ZipEntry deflated;
    deflated.Name = name;
    deflated.Data = testing::ToBytes(name);
    deflated.Method = 8;
    deflated.Compressed = testing::Bytes{0x01, static_cast<std::uint8_t>(name.size()), 0x00,
                                         static_cast<std::uint8_t>(~name.size()), 0xFF};
    deflated.Compressed->insert(deflated.Compressed->end(), name.begin(), name.end());
    image.Add(deflated);
  }
  WriteImage(image);
  TInstallForm form({}, FSource.Path() + "Install.exe");
  int exits = 0;
  bool visibleAfterExit = false;
  platform::SetProcessMessagesHandler([&] {
    if (exits > 0 || !form.Panel5.Showing()) return;
    ++exits;
    form.ExitButton.Click();
    visibleAfterExit = form.Visible();
  });
  form.ShowForm();
  form.NextButton.Click();
  form.EditDir.SetText(InstallDir());
  TDialogScript::PushAnswer(platform::idOK);  // the exit question
  form.NextButton.Click();
  platform::SetProcessMessagesHandler(nullptr);
  EXPECT_EQ(exits, 1);
  EXPECT_TRUE(visibleAfterExit);
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(form.llFileCount.Caption(), "1 of 2") << "stopped before the second entry";
  ASSERT_EQ(MessageTexts().size(), 2u);
  EXPECT_EQ(MessageTexts()[1].rfind("The installation was cancelled. Everything it had changed was undone", 0), 0u)
      << MessageTexts()[1];
  EXPECT_TRUE(FTarget.Names().empty());
  EXPECT_EQ(UninstallEntry("DisplayName"), "<none>");
}

TEST_F(InstallerTest, AnEmptyOrRelativeDirectoryIsRefusedBeforeAnythingIsWritten) {
  for (const std::string& directory : {std::string(), std::string("Suite")}) {
    TDialogScript::Start();
    TInstallForm form({}, FSource.Path() + "Install.exe");
    Install(form, directory);
    EXPECT_FALSE(form.CloseRequested()) << directory;
    EXPECT_TRUE(form.Panel3.Showing()) << "back on the directory page";
    EXPECT_TRUE(form.NextButton.Showing());
    ASSERT_EQ(TDialogScript::Shown().size(), 1u);
    EXPECT_NE(TDialogScript::Shown()[0].Text.find("full path"), std::string::npos);
    EXPECT_EQ(FSource.Names(), (TNames{"Install.exe", "image.zip"})) << directory;
  }
}

// An install stopped by an error is undone whole: no file, folder, link or registry value of
// it stays, and the user hears so before the error itself. Natively the disk fills up during
// the extraction or at the manifest, or neither hive takes the entry; under Wine,
// which has no full disk and lets every user write the registry, a folder stands where the
// manifest should be created.
TEST_F(InstallerTest, AnInstallStoppedByAnErrorIsUndoneWhole) {
  enum class TFailure { ManifestInTheWay, DiskFullInExtraction, DiskFullAtTheManifest, RegistryRefused };
  std::vector<TFailure> failures = {TFailure::ManifestInTheWay};
#ifndef _WIN32
  failures.insert(failures.end(), {TFailure::DiskFullInExtraction, TFailure::DiskFullAtTheManifest,
                                   TFailure::RegistryRefused});
  namespace fs = std::filesystem;
  const fs::path machineHive = fs::path(platform::posix::Sandbox().Root) / "system.reg";
  const fs::path userHive = fs::path(platform::posix::Sandbox().Root) / "user.reg";
#endif
  const bool publisherFolderBefore = platform::DirectoryExists(base::ExtractFileDir(MenuFolder()));
  for (const TFailure failure : failures) {
    SCOPED_TRACE(static_cast<int>(failure));
    TDialogScript::Start();
    std::string directory = InstallDir();
#ifndef _WIN32
    // Every file of the image fits in 20 bytes, the manifest does not.
    const std::int64_t capacity = failure == TFailure::DiskFullInExtraction    ? 10
                                  : failure == TFailure::DiskFullAtTheManifest ? 20
                                                                               : -1;
    testing::LimitedDrive drive('q', capacity);
    if (capacity >= 0) directory = drive.Root() + "Suite";
    if (failure == TFailure::RegistryRefused) {
      for (const fs::path& hive : {machineHive, userHive}) fs::permissions(hive, fs::perms::all, fs::perm_options::remove);
    }
#endif
    if (failure == TFailure::ManifestInTheWay) {
      ASSERT_TRUE(platform::ForceDirectories(directory + "\\install.dat"));
    }
    {
      TInstallForm form({}, FSource.Path() + "Install.exe");
      EXPECT_THROW(Install(form, directory), base::Exception);
    }
#ifndef _WIN32
    if (failure == TFailure::RegistryRefused) {
      for (const fs::path& hive : {machineHive, userHive}) fs::permissions(hive, fs::perms::owner_read | fs::perms::owner_write);
    }
#endif
    ASSERT_FALSE(MessageTexts().empty());
    EXPECT_NE(MessageTexts().back().find("Everything it had changed was undone"), std::string::npos)
        << MessageTexts().back();
    if (failure == TFailure::ManifestInTheWay) {
      EXPECT_EQ(FTarget.Names("Suite"), TNames{"install.dat"}) << "the folder in the way was there before";
      ASSERT_TRUE(platform::RemoveDir(directory + "\\install.dat") && platform::RemoveDir(directory));
    }
    EXPECT_FALSE(platform::DirectoryExists(directory));
    EXPECT_TRUE(FTarget.Names().empty());
    EXPECT_FALSE(platform::DirectoryExists(MenuFolder()));
    EXPECT_EQ(platform::DirectoryExists(base::ExtractFileDir(MenuFolder())), publisherFolderBefore);
    EXPECT_EQ(UninstallEntry("DisplayName"), "<none>");
    EXPECT_EQ(ProgramPath(), "<none>");
  }
}

#ifndef _WIN32
// A repair that fails puts the earlier install back as it was: its files with their old
// content, its manifest and its links, and no set-aside copy of any of them.
TEST_F(InstallerTest, AFailedRepairLeavesTheEarlierInstallAsItWas) {
  testing::LimitedDrive drive('q', -1);
  const std::string directory = drive.Root() + "Suite";
  {
    TInstallForm form({}, FSource.Path() + "Install.exe");
    Install(form, directory);
    ASSERT_TRUE(form.CloseRequested());
  }
  const std::string manifest = "DoVra.exe\r\nDocs\\\r\nDocs\\readme.txt\r\n";
  testing::ZipBuilder image;
  image.AddStored("DoVra.exe", "main program 2");
  image.AddStored("Docs/readme.txt", "read me 2");
  image.AddStored("Docs/new.txt", "new");
  WriteImage(image);
  drive.SetCapacity(20);  // room for every file but the longer manifest
  TDialogScript::Start();
  {
    TInstallForm form({}, FSource.Path() + "Install.exe");
    EXPECT_THROW(Install(form, directory), base::EWriteError);
  }
  drive.SetCapacity(-1);
  const auto read = [&](const std::string& name) {
    const platform::FileHandle file = platform::FileOpen(directory + "\\" + name, platform::fmOpenRead);
    std::string bytes(100, '\0');
    bytes.resize(static_cast<std::size_t>(std::max(platform::FileRead(file, bytes.data(), 100), 0)));
    platform::FileClose(file);
    return bytes;
  };
  EXPECT_EQ(read("DoVra.exe"), "main program");
  EXPECT_EQ(read("Docs\\readme.txt"), "read me");
  EXPECT_EQ(read("install.dat"), manifest);
  EXPECT_FALSE(platform::FileExists(directory + "\\Docs\\new.txt"));
  EXPECT_FALSE(platform::DirectoryExists(directory + "\\~qel-setup-old"));
  for (const auto& row : {"Qel Dovra", "Uninstall"}) {
    EXPECT_TRUE(platform::FileExists(MenuFolder() + "\\" + row + ".lnk")) << row;
    EXPECT_FALSE(platform::DirectoryExists(MenuFolder() + "\\~qel-setup-old")) << row;
  }
  EXPECT_EQ(UninstallEntry("UninstallString"), "\"" + directory + "\\Install.exe\" u");
}
#endif

// The page left after an error names it and offers Close, which closes without a question.
// An image whose directory is damaged still has whole entries the archive can find by
// scanning, but not the list of all it should hold: the install refuses it rather than
// installing what happens to be there.
TEST_F(InstallerTest, AnImageWithoutItsDirectoryIsRefused) {
  std::string image = FSource.Read("image.zip");
  image.replace(image.find(std::string("PK\x01\x02", 4)), 2, "XX");
  FSource.Write("image.zip", image);
  TInstallForm form({}, FSource.Path() + "Install.exe");
  EXPECT_ANY_THROW(Install(form, InstallDir()));
  EXPECT_EQ(form.ExitCode, 2) << "the image is damaged";
  EXPECT_NE(form.llOutcome.Caption().find("directory is missing"), std::string::npos) << form.llOutcome.Caption();
  EXPECT_FALSE(platform::DirectoryExists(InstallDir()));
}

TEST_F(InstallerTest, AMissingArchiveEndsTheInstallWithTheExitQuestionStillOn) {
  ASSERT_TRUE(platform::DeleteFile(FSource.Path() + "image.zip"));
  TInstallForm form({}, FSource.Path() + "Install.exe");
  EXPECT_ANY_THROW(Install(form, InstallDir()));
  EXPECT_EQ(form.ExitCode, 2) << "the image is missing";
  EXPECT_FALSE(form.SkipExitQuery());
  EXPECT_TRUE(form.Panel5.Showing());
  EXPECT_FALSE(form.NextButton.Showing());
  EXPECT_NE(form.llOutcome.Caption().find("image.zip"), std::string::npos) << form.llOutcome.Caption();
  EXPECT_EQ(UninstallEntry("DisplayName"), "<none>");
  ASSERT_TRUE(form.ExitButton.Showing());
  EXPECT_EQ(form.ExitButton.Caption(), "Close");
  const std::size_t shown = TDialogScript::Shown().size();
  form.ExitButton.Click();
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(TDialogScript::Shown().size(), shown);
}

#ifndef _WIN32
// A drive without room for the suite: the page tells both figures, and Copy refuses before
// anything is written; a folder on a roomy drive is taken again.
TEST_F(InstallerTest, ADriveWithoutRoomIsRefusedBeforeAnythingIsWritten) {
  testing::LimitedDrive drive('q', -1);
  const std::string freeFolder = platform::posix::Sandbox().Root + "/free";
  std::filesystem::create_directories(freeFolder);
  std::ofstream(freeFolder + "/q") << 10;  // the image's 19 bytes do not fit
  TInstallForm form({}, FSource.Path() + "Install.exe");
  Install(form, drive.Root() + "Suite");
  std::filesystem::remove(freeFolder + "/q");
  EXPECT_TRUE(form.Panel3.Showing());
  EXPECT_EQ(form.llSpaceRequired.Caption(), "Space required: 1 KB");
  EXPECT_EQ(form.llSpaceAvailable.Caption(), "Space available: 1 KB");
  ASSERT_EQ(TDialogScript::Shown().size(), 1u);
  EXPECT_NE(TDialogScript::Shown()[0].Text.find("not enough free space"), std::string::npos);
  EXPECT_FALSE(platform::DirectoryExists(drive.Root() + "Suite"));
  EXPECT_EQ(UninstallEntry("DisplayName"), "<none>");
  form.EditDir.SetText(InstallDir());
  EXPECT_NE(form.llSpaceAvailable.Caption(), "Space available: 1 KB") << "updated with the folder";
  form.NextButton.Click();
  EXPECT_TRUE(form.CloseRequested());
}
#endif

// After an uninstall nothing of the suite is left: files, folders the archive made, the
// manifest, the uninstaller's file, the installation directory, the Start-menu folder with
// its parent, the entry. A file the user added stays, and so do the folders that hold it.
TEST_F(InstallerTest, UninstallLeavesNothingOfTheSuiteButKeepsTheUsersFiles) {
  for (const bool userFile : {true, false}) {
    TDialogScript::Start();
    {
      TInstallForm form({}, FSource.Path() + "Install.exe");
      Install(form, InstallDir());
      ASSERT_TRUE(form.CloseRequested());
    }
    if (userFile) FTarget.Write("Suite\\Docs\\mine.txt", "the user's");
    Uninstall();
    EXPECT_EQ(MessageTexts(), (TNames{"You really want to remove Qel Orvane?", "Uninstalling is completed."}));
    EXPECT_EQ(TDialogScript::Shown()[1].Caption, "Qel Orvane!");
    if (userFile) {
      EXPECT_EQ(FTarget.Names("Suite"), TNames{"Docs"});
      EXPECT_EQ(FTarget.Read("Suite\\Docs\\mine.txt"), "the user's");
      ASSERT_TRUE(platform::DeleteFile(InstallDir() + "\\Docs\\mine.txt"));
      ASSERT_TRUE(platform::RemoveDir(InstallDir() + "\\Docs"));
      ASSERT_TRUE(platform::RemoveDir(InstallDir()));
    }
    EXPECT_TRUE(FTarget.Names().empty()) << "an empty machine";
    EXPECT_FALSE(platform::DirectoryExists(MenuFolder()));
    EXPECT_FALSE(platform::DirectoryExists(base::ExtractFileDir(MenuFolder()))) << "the parent Qel goes too";
    EXPECT_EQ(UninstallEntry("DisplayName"), "<none>");
    EXPECT_EQ(UninstallNumber("EstimatedSize"), 0xFFFFFFFFu) << "the whole key goes";
    EXPECT_EQ(ProgramPath(), InstallDir() + "\\Dovra.exe") << "the per-user value stays";
  }
}

// Without a manifest nothing is removed, and the notice says so instead of "completed".
TEST_F(InstallerTest, UninstallWithoutAManifestSaysNothingWasRemoved) {
  FTarget.Write("Suite\\Install.exe", "the installer");
  EXPECT_EQ(Uninstall(), 2) << "its list of files is missing";
  ASSERT_EQ(TDialogScript::Shown().size(), 2u);
  const platform::TShownDialog& notice = TDialogScript::Shown()[1];
  EXPECT_NE(notice.Text.find("was not removed"), std::string::npos) << notice.Text;
  EXPECT_NE(notice.Text.find(InstallDir() + "\\install.dat"), std::string::npos) << notice.Text;
  EXPECT_EQ(notice.Flags, platform::mbOK | platform::mbIconStop);
  EXPECT_EQ(FTarget.Names("Suite"), TNames{"Install.exe"});
}

// A file that cannot be deleted (here: held open) is named in the notice, with where it is.
TEST_F(InstallerTest, UninstallNamesWhatItCouldNotDelete) {
  FTarget.Write("Suite\\install.dat", "a.exe\r\nbusy.exe\r\n");
  FTarget.Write("Suite\\a.exe", "a");
  FTarget.Write("Suite\\busy.exe", "running");
  const platform::FileHandle busy =
      platform::FileOpen(InstallDir() + "\\busy.exe", platform::fmOpenRead | platform::fmShareDenyWrite);
  ASSERT_NE(busy, platform::InvalidFileHandle);
  const int status = Uninstall();
  platform::FileClose(busy);
  const platform::TShownDialog& notice = TDialogScript::Shown().back();
  EXPECT_NE(notice.Text.find(InstallDir() + "\\busy.exe"), std::string::npos) << notice.Text;
  EXPECT_EQ(notice.Text.find("a.exe\r"), std::string::npos) << notice.Text;
#ifdef _WIN32
  // Windows takes the file over, to delete it when it next starts: the uninstall is done.
  EXPECT_EQ(status, 0);
  EXPECT_NE(notice.Text.find("next starts"), std::string::npos) << notice.Text;
#else
  // The stand-in has no reboot to hand the file to: it is left for the user, and said so.
  EXPECT_EQ(status, 4) << "a file could not be removed";
  EXPECT_EQ(notice.Text.find("Uninstalling is completed."), std::string::npos) << notice.Text;
  EXPECT_NE(notice.Text.find("delete them by hand"), std::string::npos) << notice.Text;
#endif
  EXPECT_EQ(FTarget.Names("Suite"), TNames{"busy.exe"});
}

TEST_F(InstallerTest, UninstallDeclinedChangesNothing) {
  FTarget.Write("Suite\\install.dat", "a.exe\r\n");
  FTarget.Write("Suite\\a.exe", "a");
  TInstallForm form({"u"}, InstallDir() + "\\Install.exe");
  TDialogScript::PushAnswer(platform::idCancel);
  form.ShowForm();
  EXPECT_TRUE(form.CloseRequested());
  EXPECT_EQ(form.ExitCode, 1) << "declined";
  EXPECT_EQ(MessageTexts(), TNames{"You really want to remove Qel Orvane?"});
  EXPECT_EQ(FTarget.Names("Suite"), (TNames{"a.exe", "install.dat"}));
  // Only a lower-case "u" alone uninstalls.
  for (const char* argument : {"U", "/u", "-u"}) {
    TDialogScript::Start();
    TInstallForm other({argument}, InstallDir() + "\\Install.exe");
    other.ShowForm();
    EXPECT_FALSE(other.CloseRequested()) << argument;
    EXPECT_TRUE(other.Panel2.Showing()) << argument;
  }
}

// The manifest lists what the archive held; a line that climbs out of the program folder
// must not take files elsewhere with it, whichever separator it climbs with.
TEST_F(InstallerTest, UninstallDeletesNothingOutsideTheProgramFolder) {
  FTarget.Write("outside.txt", "keep");
  FTarget.Write("Suite\\a.exe", "a");
  FTarget.Write("Suite\\install.dat", "a.exe\r\n..\\outside.txt\r\n../outside.txt\r\nDocs/../../outside.txt\r\n"
                                      "...\\outside.txt\r\n" + FTarget.Path() + "outside.txt\r\n\r\nDocs\\\r\n");
  TDialogScript::PushAnswer(platform::idOK);
  TInstallForm form({"u"}, InstallDir() + "\\Install.exe");
  form.ShowForm();
  EXPECT_EQ(FTarget.Read("outside.txt"), "keep");
  EXPECT_EQ(FTarget.Names("Suite"), TNames{});
}

TEST(Uninstallation, ManifestLinesOutsideTheFolderAreRefused) {
  const std::string folder = "C:\\Suite\\";
  struct TCase {
    std::string Line;
    std::string Path;  // empty: refused
  };
  const TCase cases[] = {
      {"a.exe", "C:\\Suite\\a.exe"},
      {"Docs/readme.txt", "C:\\Suite\\Docs\\readme.txt"},
      {"Docs\\", "C:\\Suite\\Docs\\"},
      {"Docs\\.\\b.txt", "C:\\Suite\\Docs\\b.txt"},
      {"..\\outside.txt", ""},
      {"../outside.txt", ""},
      {"Docs/../../outside.txt", ""},
      {"Docs\\..\\a.exe", ""},  // a climb is refused even when it would land inside
      {".. \\outside.txt", ""},
      {"C:\\Windows\\win.ini", ""},
      {"C:outside.txt", ""},
      {"\\\\server\\share\\x.txt", ""},
      {"//server/share/x.txt", ""},
      {"\\Windows\\win.ini", ""},
      {"/etc/passwd", ""},
      {"a.exe:stream", ""},
      {"", ""},
  };
  for (const TCase& c : cases) {
    std::string path;
    const bool accepted = TUninstallation::PathBelow(folder, c.Line, path);
    EXPECT_EQ(accepted ? path : std::string(), c.Path) << c.Line;
  }
}

#ifndef _WIN32
// A user without administrator rights (the machine's hive not writable): the entry goes to the
// user's own list of installed software, the install completes, and the uninstall takes it away.
TEST_F(InstallerTest, WithoutAdministratorRightsTheSuiteIsInstalledAndUninstalledForTheUser) {
  namespace fs = std::filesystem;
  struct TReadOnlyMachineHive {
    const fs::path File = fs::path(platform::posix::Sandbox().Root) / "system.reg";
    TReadOnlyMachineHive() {
      fs::permissions(File, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove);
    }
    ~TReadOnlyMachineHive() { fs::permissions(File, fs::perms::owner_write, fs::perm_options::add); }
  } readOnly;
  const auto userEntry = [] {
    TRegistryCursor registry;
    registry.OpenKey("Microsoft\\Windows\\CurrentVersion\\Uninstall", false);
    return registry.ReadString("Qel Orvane", "UninstallString", "<none>");
  };
  {
    TInstallForm form({}, FSource.Path() + "Install.exe");
    Install(form, InstallDir());
    EXPECT_TRUE(form.CloseRequested());
  }
  EXPECT_EQ(userEntry(), "\"" + InstallDir() + "\\Install.exe\" u");
  Uninstall();
  EXPECT_EQ(MessageTexts().back(), "Uninstalling is completed.");
  EXPECT_EQ(userEntry(), "<none>");
  EXPECT_TRUE(FTarget.Names().empty());
}
#endif

}  // namespace
}  // namespace qel::installer
