// The entries of one folder through FindFirstFileW/FindNextFileW, for the walks over a tree
// that the shell cannot make for paths beyond the classic limit.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform::win32 {

// Calls visit(path, attributes) for each entry of folder but "." and "..", path being the
// folder's path, "\" and the entry's name. False when the folder cannot be listed.
template <typename TVisit>
bool ForEachEntry(const std::string& folder, TVisit visit) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(WidePath(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  struct TSearchCloser {
    HANDLE Search;
    ~TSearchCloser() { FindClose(Search); }
  } closer{search};
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    visit(folder + "\\" + Utf8(name), found.dwFileAttributes);
  } while (FindNextFileW(search, &found));
  return true;
}

// A folder the walk descends into; a junction or link to a folder is removed as the link only,
// never followed into what it points at.
inline bool IsRealFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace qel::platform::win32
