// Scratch folders and host paths for tests.
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>

#include "platform/shell.h"

namespace qel::testing {

namespace {

namespace fs = std::filesystem;

// A POSIX path (UTF-8) for the file system library. The Windows build would take it for
// a path on the current drive, so there it gets the Z: path that names the same file.
fs::path NativePath(const std::string& posixPath) {
  std::string text = posixPath;
#ifdef _WIN32
  text = "Z:" + text;
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
#endif
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string SlashesOf(std::string relName) {
  for (char& c : relName) {
    if (c == '\\') c = '/';
  }
  return relName;
}

}  // namespace

void DeleteTree(const std::string& folder) {
  std::string list = folder;
  list += '\0';
  list += '\0';
  platform::ShellFileOperation(0, platform::foDelete, list, "",
                               platform::fofNoConfirmation | platform::fofSilent | platform::fofNoErrorUI, "");
}

std::string HostPath(const std::string& posixPath) {
  std::string path = "Z:";
  for (char c : posixPath) path += c == '/' ? '\\' : c;
  if (path.size() == 2) path += '\\';
  return path;
}

std::string DataPath(const std::string& name) { return HostPath(std::string(QEL_TEST_DATA_DIR) + "/" + SlashesOf(name)); }

ScratchDir::ScratchDir() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "no-test";
  // Parameterised tests carry "/" in their names.
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  // A second folder in the same test gets a number of its own.
  static std::string lastTest;
  static int sameTest = 0;
  sameTest = name == lastTest ? sameTest + 1 : 0;
  lastTest = name;
  if (sameTest > 0) name += "." + std::to_string(sameTest);
  FPosixPath = std::string(QEL_BINARY_DIR) + "/scratch/" + name;
  std::error_code ignored;
  fs::remove_all(NativePath(FPosixPath), ignored);
  fs::create_directories(NativePath(FPosixPath));
  FPath = HostPath(FPosixPath) + "\\";
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  // A file a test left read-only must not keep its folder alive.
  for (const auto& entry : fs::recursive_directory_iterator(NativePath(FPosixPath), ignored)) {
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
  }
  fs::remove_all(NativePath(FPosixPath), ignored);
}

void ScratchDir::Write(const std::string& relName, const std::string& bytes) const {
  const fs::path path = NativePath(FPosixPath + "/" + SlashesOf(relName));
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchDir::Read(const std::string& relName) const {
  std::ifstream in(NativePath(FPosixPath + "/" + SlashesOf(relName)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ScratchDir::Names(const std::string& relDir) const {
  std::string folder = FPosixPath;
  if (!relDir.empty()) folder += "/" + SlashesOf(relDir);
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(NativePath(folder), ignored)) {
    const std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace qel::testing
