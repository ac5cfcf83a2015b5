// The process services of Windows: GetCurrentProcessId, waiting on a process handle, and a
// copy of the program started from GetTempPathW.
#include "platform/process.h"

#include <cwchar>
#include <iterator>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

namespace {
// ShellExecute's results up to this value are errors.
constexpr std::intptr_t LaunchErrorLimit = 32;
}  // namespace

void StopPointForTests() {
  static const long stopAt = [] {
    wchar_t value[32] = {};
    const DWORD length = GetEnvironmentVariableW(L"QEL_STOP_AT_POINT", value, std::size(value));
    return length > 0 && length < std::size(value) ? std::wcstol(value, nullptr, 10) : 0L;
  }();
  static long reached = 0;
  // Ends at once, without unwinding or flushing, as a kill from the task manager would.
  if (stopAt > 0 && ++reached == stopAt) TerminateProcess(GetCurrentProcess(), 137);
}

std::string CommandLineTail(int, char**) {
  const wchar_t* line = GetCommandLineW();
  // The program's name ends at its closing quote, or at the first blank when it has none; no
  // backslash escapes a quote there, as CommandLineToArgvW reads it.
  if (*line == L'"') {
    ++line;
    while (*line != L'\0' && *line != L'"') ++line;
    if (*line == L'"') ++line;
  } else {
    while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return win32::Utf8(line);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

void WaitForProcessExit(std::uint32_t processId) {
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (process == nullptr) return;  // gone already, or never there
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
}

void SleepFor(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::string TemporaryFolder() {
  // GetTempPathW never gives more than MAX_PATH characters and the closing NUL.
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(std::size(temp), temp);
  if (length == 0 || length > MAX_PATH) return win32::RecordLastError(), std::string();
  return win32::PathFromSystem(std::wstring_view(temp, length));
}

std::string StartCopyOfProgram(const std::string& fileName, const std::string& parameters) {
  const std::string folder = TemporaryFolder();
  if (folder.empty()) return {};
  const std::string copy = folder + fileName;
  // The program may run from a folder beyond the classic limit (an uninstaller in a deep
  // installation); the copy lands in the temporary folder, which ShellExecute can start from.
  if (!CopyFileW(win32::WidePath(ModuleFileName()).c_str(), win32::WidePath(copy).c_str(), FALSE)) {
    return win32::RecordLastError(), std::string();
  }
  if (ShellExecute(0, copy, parameters, folder) <= LaunchErrorLimit) return win32::RecordLastError(), std::string();
  return copy;
}

}  // namespace qel::platform
