// The last error of the platform calls on Windows, kept per thread.
#include <string>

#include "platform/files.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

namespace {

thread_local std::uint32_t LastError = 0;

}  // namespace

namespace win32 {

bool RecordLastError() {
  LastError = ::GetLastError();
  return false;
}

bool RecordError(std::uint32_t code) {
  LastError = code;
  ::SetLastError(code);
  return false;
}

std::string SystemMessage(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? Utf8(std::wstring_view(buffer, length)) : std::string();
  if (buffer != nullptr) LocalFree(buffer);
  // The system's texts end in a line break.
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace win32

std::uint32_t LastErrorCode() { return LastError; }

std::string LastErrorText() { return win32::SystemMessage(LastError); }

}  // namespace qel::platform
