// The archives the fixture step makes at test time with zip, 7z and Python, in the build folder.
#pragma once

#include <string>
#include <vector>

namespace qel::testing {

// The folder that holds them, as a POSIX path.
std::string FixtureDir();
// The names of the archives in it; empty when the fixture step has not run.
std::vector<std::string> FixtureArchives();
// The non-empty lines of a host file.
std::vector<std::string> ReadLines(const std::string& posixPath);
// The bytes of a host file; empty when it cannot be read.
std::string ReadHostFile(const std::string& posixPath);

}  // namespace qel::testing
