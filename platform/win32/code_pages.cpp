// Code pages on Windows: the system's OEM and ANSI pages, and its locale comparison.
#include "platform/code_pages.h"

#include <vector>

#include "platform/win32/windows_api.h"

namespace qel::platform {

namespace {

// Text through UTF-16: MultiByteToWideChar from one code page, WideCharToMultiByte to another.
std::wstring ToWide(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string FromWide(const std::wstring& wide, UINT codePage, DWORD flags, const char* defaultChar) {
  if (wide.empty()) return {};
  const int length =
      WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, defaultChar, nullptr);
  std::string text(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), text.data(), length, defaultChar, nullptr);
  }
  return text;
}

}  // namespace

void OemToAnsi(std::string& text) {
  if (text.empty()) return;
  std::string converted(text.size(), '\0');
  OemToCharBuffA(text.data(), converted.data(), static_cast<DWORD>(text.size()));
  text = std::move(converted);
}

void AnsiToOem(std::string& text) {
  if (text.empty()) return;
  std::string converted(text.size(), '\0');
  CharToOemBuffA(text.data(), converted.data(), static_cast<DWORD>(text.size()));
  text = std::move(converted);
}

int CompareTextLocale(std::string_view a, std::string_view b) {
  const int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                                    static_cast<int>(b.size()));
  return result == 0 ? a.compare(b) : result - CSTR_EQUAL;
}

bool SameTextLocale(std::string_view a, std::string_view b) { return CompareTextLocale(a, b) == 0; }

unsigned AnsiCodePage() { return GetACP(); }

unsigned OemCodePage() { return GetOEMCP(); }

std::string AnsiToUtf8(std::string_view ansi) { return FromWide(ToWide(ansi, CP_ACP), CP_UTF8, 0, nullptr); }

std::string Utf8ToAnsi(std::string_view utf8) {
  // No best fit: a character the ANSI page lacks becomes "?" rather than a look-alike.
  return FromWide(ToWide(utf8, CP_UTF8), CP_ACP, WC_NO_BEST_FIT_CHARS, "?");
}

std::string Utf8ToAnsi(std::string_view utf8, char replacement, bool& lossy) {
  lossy = false;
  const std::wstring wide = ToWide(utf8, CP_UTF8);
  if (wide.empty()) return {};
  const char defaultChar[2] = {replacement, '\0'};
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, defaultChar, &usedDefault);
  std::string text(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), text.data(), length,
                        defaultChar, &usedDefault);
  }
  // A byte that was no UTF-8 arrives as the replacement character U+FFFD.
  lossy = usedDefault != FALSE || wide.find(L'\xFFFD') != std::wstring::npos;
  return text;
}

}  // namespace qel::platform
