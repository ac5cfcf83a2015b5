// Code pages on Windows: the system's OEM and ANSI pages, and its locale comparison.
#include "platform/code_pages.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

namespace {

std::string ToUtf8(std::string_view text, UINT codePage) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return win32::Utf8(wide);
}

std::string FromUtf8(std::string_view utf8, UINT codePage) {
  const std::wstring wide = win32::Wide(utf8);
  if (wide.empty()) return {};
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, &usedDefault);
  std::string text(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), text.data(), length,
                        nullptr, &usedDefault);
  }
  return usedDefault ? std::string() : text;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) { return FromUtf8(utf8, CP_ACP); }

std::string Utf8ToOem(std::string_view utf8) { return FromUtf8(utf8, CP_OEMCP); }

std::string OemToUtf8(std::string_view oem) { return ToUtf8(oem, CP_OEMCP); }

std::string AnsiToUtf8(std::string_view ansi) { return ToUtf8(ansi, CP_ACP); }

int CompareTextLocale(std::string_view a, std::string_view b) {
  const std::wstring x = win32::Wide(a), y = win32::Wide(b);
  const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()), y.data(),
                                    static_cast<int>(y.size()));
  return result == 0 ? a.compare(b) : result - CSTR_EQUAL;
}

bool SameTextLocale(std::string_view a, std::string_view b) { return CompareTextLocale(a, b) == 0; }

unsigned AnsiCodePage() { return GetACP(); }

unsigned OemCodePage() { return GetOEMCP(); }

}  // namespace qel::platform
