#include "platform/shell_list.h"

namespace qel::platform {

std::vector<std::string> ShellListEntries(const std::string& list) {
  std::vector<std::string> entries;
  for (std::size_t start = 0; start < list.size();) {
    std::size_t end = list.find('\0', start);
    if (end == std::string::npos) end = list.size();
    if (end == start) break;
    entries.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

}  // namespace qel::platform
