// Folders and paths for tests, the same on both builds: a POSIX path of this machine is
// the Windows path Z:\... in the stand-in and under Wine alike.
#pragma once

#include <string>
#include <vector>

namespace qel::testing {

// "/a/b" -> "Z:\a\b", in ANSI.
std::string HostPath(const std::string& posixPath);
// A fixture of tests/data as such a path.
std::string DataPath(const std::string& name);
// Deletes a folder (a program's path) with everything in it, asking nothing and showing nothing.
void DeleteTree(const std::string& folder);

// A fresh, empty folder QEL_BINARY_DIR/scratch/<test suite>.<test name> for the running
// test (".1", ".2", ... added for further ones in the same test), removed with everything
// in it when the object goes.
class ScratchDir final {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return FPath; }            // Windows path ending in "\"
  const std::string& PosixPath() const { return FPosixPath; }  // without a closing "/"
  // Writes bytes to relName (ANSI, "a\b.txt" or "a/b.txt"), creating the folders above it.
  void Write(const std::string& relName, const std::string& bytes) const;
  // The bytes of relName; empty when it cannot be read.
  std::string Read(const std::string& relName) const;
  // The names (ANSI, sorted) in the folder relDir, as they are spelt on disk.
  std::vector<std::string> Names(const std::string& relDir = "") const;

 private:
  std::string FPosixPath;
  std::string FPath;
};

}  // namespace qel::testing
