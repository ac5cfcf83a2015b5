// The console of the POSIX stand-in: real paths on the command line are seen under Z:.
#include <ftw.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/code_pages.h"
#include "platform/console.h"
#include "platform/posix/host_path.h"

namespace qel::platform {

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool ErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string CommandLineNameToAnsi(const std::string& argument) {
  std::string name = Utf8ToAnsi(argument);
  const bool absolute = !name.empty() && name[0] == '/';
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return absolute ? "Z:" + name : name;
}

std::string AnsiToConsole(const std::string& text) { return AnsiToUtf8(text); }
std::string Utf8ToConsole(const std::string& text) { return text; }

bool ReadConsoleLine(std::string& line, bool echo) {
  termios saved{};
  const bool hide = !echo && isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &saved) == 0;
  if (hide) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string raw;
  const bool got = static_cast<bool>(std::getline(std::cin, raw));
  if (hide) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::cerr << "\n";
  }
  if (!got) return false;
  if (!raw.empty() && raw.back() == '\r') raw.pop_back();
  line = Utf8ToAnsi(raw);
  return true;
}

std::string TemporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  if (dir.back() != '/') dir += '/';
  return CommandLineNameToAnsi(dir);
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

namespace {
int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); }
}  // namespace

bool RemoveTree(const std::string& path) {
  posix::THostPath host;
  if (!posix::ResolveHostPath(path, host)) return false;
  return nftw(host.Host.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace qel::platform
