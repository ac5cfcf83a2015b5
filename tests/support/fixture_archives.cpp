#include "support/fixture_archives.h"

#include <fstream>
#include <iterator>

namespace qel::testing {

std::string FixtureDir() { return std::string(QEL_BINARY_DIR) + "/fixtures"; }

std::vector<std::string> FixtureArchives() { return ReadLines(FixtureDir() + "/archives.list"); }

std::vector<std::string> ReadLines(const std::string& posixPath) {
  std::vector<std::string> lines;
  std::ifstream in(posixPath, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::string ReadHostFile(const std::string& posixPath) {
  std::ifstream in(posixPath, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace qel::testing
