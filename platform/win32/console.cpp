// The console of Windows. The program's text is UTF-8 throughout: the console is asked to
// show UTF-8, and typed lines are read as UTF-16 and handed on as UTF-8.
#include <iostream>
#include <iterator>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

namespace {

bool IsConsole(DWORD handleId) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(handleId), &mode) != 0;
}

// The console's output code page switched to UTF-8 for the program's life. Callers write
// through std::cout and std::cerr, so the text stays bytes all the way to the handle and a
// redirected output gets exactly those bytes; the console shows them right once its page is
// UTF-8. The console outlives the program (a command prompt keeps using it), so its own page
// is put back at the end.
class TUtf8ConsoleOutput final {
 public:
  TUtf8ConsoleOutput() : FSaved(GetConsoleOutputCP()) {
    FChanged = (IsConsole(STD_OUTPUT_HANDLE) || IsConsole(STD_ERROR_HANDLE)) && FSaved != CP_UTF8 &&
               SetConsoleOutputCP(CP_UTF8) != 0;
  }
  ~TUtf8ConsoleOutput() {
    if (FChanged) SetConsoleOutputCP(FSaved);
  }
  TUtf8ConsoleOutput(const TUtf8ConsoleOutput&) = delete;
  TUtf8ConsoleOutput& operator=(const TUtf8ConsoleOutput&) = delete;

 private:
  UINT FSaved;
  bool FChanged = false;
};

void ShowUtf8OnConsole() { static const TUtf8ConsoleOutput output; }

// Turns the echo of typed characters off for one read, and on again whatever happens.
class TEchoOff final {
 public:
  TEchoOff(HANDLE input, DWORD saved) : FInput(input), FSaved(saved) {
    SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  ~TEchoOff() {
    SetConsoleMode(FInput, FSaved);
    std::cerr << "\n";  // the user's Enter was not echoed either
  }
  TEchoOff(const TEchoOff&) = delete;
  TEchoOff& operator=(const TEchoOff&) = delete;

 private:
  HANDLE FInput;
  DWORD FSaved;
};

// One line from the console, without its line end; false at the end of the input (Ctrl-Z at
// the start of a line) or when an interrupt ended the read.
bool ReadWideLine(HANDLE input, std::wstring& line) {
  line.clear();
  wchar_t chunk[256];
  // A line longer than the chunk comes in several reads; the console ends each line with "\r\n".
  while (line.find(L'\n') == std::wstring::npos) {
    DWORD got = 0;
    if (!ReadConsoleW(input, chunk, static_cast<DWORD>(std::size(chunk)), &got, nullptr) || got == 0) return false;
    line.append(chunk, got);
  }
  if (line.front() == L'\x1A') return false;
  line.erase(line.find(L'\n'));
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  return true;
}

}  // namespace

bool InputIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }

bool ErrorIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

// The wide command line already gave the argument as UTF-8; only the separators change.
std::string CommandLineName(const std::string& argument) {
  std::string name = argument;
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

std::string TextToConsole(const std::string& text) {
  ShowUtf8OnConsole();
  return text;
}

bool ReadConsoleLine(std::string& line, bool echo) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  if (GetConsoleMode(input, &saved) == 0) {
    // A file or a pipe: its bytes are taken as the program's text, unchanged.
    std::string raw;
    if (!std::getline(std::cin, raw)) return false;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    line = raw;
    return true;
  }
  std::wstring typed;
  bool got = false;
  if (echo) {
    got = ReadWideLine(input, typed);
  } else {
    const TEchoOff hidden(input, saved);
    got = ReadWideLine(input, typed);
  }
  if (!got) return false;
  line = win32::Utf8(typed);
  return true;
}

// Windows paths are what a Windows user writes.
std::string HostPathSpelling(const std::string& path) { return path; }
std::string HostMessageSpelling(const std::string& text) { return text; }

namespace {

volatile LONG InterruptSeen = 0;

BOOL WINAPI NoteInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  InterlockedExchange(&InterruptSeen, 1);
  return TRUE;
}

}  // namespace

void CatchInterrupts() { SetConsoleCtrlHandler(NoteInterrupt, TRUE); }
bool Interrupted() { return InterruptSeen != 0; }

// The handle, not the C runtime's stdout, which translates line ends in text mode.
bool WriteStandardOutput(const char* data, std::size_t count) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  while (count > 0) {
    const DWORD chunk = count > 0x10000000 ? 0x10000000 : static_cast<DWORD>(count);
    DWORD wrote = 0;
    if (!WriteFile(output, data, chunk, &wrote, nullptr) || wrote == 0) return false;
    data += wrote;
    count -= wrote;
  }
  return true;
}

std::string TemporaryDirectory() {
  std::string dir = TemporaryFolder();
  if (dir.empty()) dir = "C:\\";
  if (dir.back() != '\\') dir += '\\';
  return dir;
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

// The shell cannot reach paths beyond the classic limit, so the tree is walked here, every
// name through the platform's own calls; a read-only file is deleted all the same.
}  // namespace qel::platform
