// The console of Windows.
#include <windows.h>

#include <cstdio>
#include <iostream>

#include "platform/code_pages.h"
#include "platform/console.h"

namespace qel::platform {

bool InputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool ErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::string CommandLineNameToAnsi(const std::string& argument) {
  std::string name = argument;
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

std::string AnsiToConsole(const std::string& text) { return text; }
std::string Utf8ToConsole(const std::string& text) { return Utf8ToAnsi(text); }

bool ReadConsoleLine(std::string& line, bool echo) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  const bool hide = !echo && GetConsoleMode(input, &saved) != 0;
  if (hide) SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::string raw;
  const bool got = static_cast<bool>(std::getline(std::cin, raw));
  if (hide) {
    SetConsoleMode(input, saved);
    std::cerr << "\n";
  }
  if (!got) return false;
  if (!raw.empty() && raw.back() == '\r') raw.pop_back();
  line = raw;
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
  char buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof(buffer), buffer);
  std::string dir = length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string("C:\\");
  if (dir.back() != '\\') dir += '\\';
  return dir;
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

bool RemoveTree(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  bool ok = true;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ok = RemoveTree(child) && ok;
      } else {
        SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ok = DeleteFileA(child.c_str()) != 0 && ok;
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryA(folder.c_str()) != 0 && ok;
}

}  // namespace qel::platform
