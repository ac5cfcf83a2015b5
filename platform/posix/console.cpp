// The console of the POSIX stand-in: real paths on the command line are seen under Z:.
#include <ftw.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "platform/code_pages.h"
#include "platform/console.h"
#include "platform/posix/host_path.h"
#include "platform/posix/sandbox.h"

namespace qel::platform {

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool ErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

std::string CommandLineName(const std::string& argument) {
  std::string name = argument;
  const bool absolute = !name.empty() && name[0] == '/';
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return absolute ? "Z:" + name : name;
}

std::string TextToConsole(const std::string& text) { return text; }

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
  line = std::move(raw);
  return true;
}

namespace {

bool StartsWithDrive(const std::string& text, std::size_t at) {
  return at + 2 < text.size() && std::isalpha(static_cast<unsigned char>(text[at])) != 0 && text[at + 1] == ':' &&
         text[at + 2] == '\\';
}

volatile std::sig_atomic_t InterruptSeen = 0;

extern "C" void NoteInterrupt(int) { InterruptSeen = 1; }

}  // namespace

std::string HostPathSpelling(const std::string& path) {
  std::string host;
  std::size_t rest = 0;
  if (StartsWithDrive(path, 0)) {
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    // The sandbox's folder only names the place: spelling a path lays nothing out.
    if (drive != 'z') host = posix::SandboxRoot() + "/drive_" + drive;
    rest = 2;
  }
  for (std::size_t at = rest; at < path.size(); ++at) host += path[at] == '\\' ? '/' : path[at];
  return host;
}

std::string HostMessageSpelling(const std::string& text) {
  std::string spelt;
  for (std::size_t at = 0; at < text.size();) {
    const bool startsWord = at == 0 || std::isalnum(static_cast<unsigned char>(text[at - 1])) == 0;
    if (!startsWord || !StartsWithDrive(text, at)) {
      spelt += text[at++];
      continue;
    }
    const std::size_t end = text.find_first_of("\"\n", at);
    const std::size_t length = (end == std::string::npos ? text.size() : end) - at;
    spelt += HostPathSpelling(text.substr(at, length));
    at += length;
  }
  return spelt;
}

// Without SA_RESTART: a prompt waiting for a line gives up at once, where a restarted read
// would wait for the Enter key.
void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = NoteInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() { return InterruptSeen != 0; }

bool WriteStandardOutput(const char* data, std::size_t count) {
  while (count > 0) {
    const ssize_t wrote = write(STDOUT_FILENO, data, count);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    data += wrote;
    count -= static_cast<std::size_t>(wrote);
  }
  return true;
}

std::string TemporaryDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  if (dir.back() != '/') dir += '/';
  return CommandLineName(dir);
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
