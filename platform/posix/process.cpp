// The process services of the stand-in: the process id, waiting for a process by probing it,
// and a runnable copy of the program in the sandbox's temporary folder.
#include "platform/process.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "platform/files.h"
#include "platform/posix/host_path.h"
#include "platform/posix/last_error.h"
#include "platform/posix/sandbox.h"
#include "platform/shell.h"

namespace qel::platform {

namespace {

constexpr std::intptr_t LaunchErrorLimit = 32;
constexpr long ProbeIntervalNanoseconds = 50'000'000;

// The running program's bytes into hostPath, runnable: unlike Windows, POSIX starts only a
// file that carries the execute bits.
bool CopyProgramTo(const std::string& hostPath) {
  std::ifstream input("/proc/self/exe", std::ios::binary);
  std::ofstream output(hostPath, std::ios::binary | std::ios::trunc);
  if (!input || !output) return posix::FailFromErrno(errno);
  output << input.rdbuf();
  output.close();
  if (!output) return posix::FailFromErrno(errno);
  return chmod(hostPath.c_str(), 0755) == 0 || posix::FailFromErrno(errno);
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  // The stand-in's program text is UTF-8, as a POSIX command line is.
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
}

std::string CommandLineTail(int argc, char** argv) {
  std::string tail;
  for (int i = 1; i < argc; ++i) tail += (i == 1 ? "" : " ") + std::string(argv[i]);
  return tail;
}

std::uint32_t CurrentProcessId() { return static_cast<std::uint32_t>(getpid()); }

void StopPointForTests() {
  static const long stopAt = [] {
    const char* value = std::getenv("QEL_STOP_AT_POINT");
    return value != nullptr ? std::strtol(value, nullptr, 10) : 0L;
  }();
  static long reached = 0;
  if (stopAt > 0 && ++reached == stopAt) _exit(137);  // no destructor, no flush: as a kill would
}

void WaitForProcessExit(std::uint32_t processId) {
  // kill() takes 0 and negative ids for process groups: no such id names one process.
  if (processId == 0 || processId > static_cast<std::uint32_t>(INT32_MAX)) return;
  // There is no handle to wait on for a process that is not a child: probe it until it is gone.
  const timespec interval{0, ProbeIntervalNanoseconds};
  while (kill(static_cast<pid_t>(processId), 0) == 0 || errno == EPERM) nanosleep(&interval, nullptr);
}

void SleepFor(std::uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

std::string TemporaryFolder() {
  const std::string folder = posix::Sandbox().WindowsDir + "\\Temp";
  return ForceDirectories(folder) ? folder + "\\" : std::string();
}

std::string StartCopyOfProgram(const std::string& fileName, const std::string& parameters) {
  const std::string temporary = TemporaryFolder();
  if (temporary.empty()) return {};
  const std::string folder = temporary.substr(0, temporary.size() - 1);
  const std::string copy = temporary + fileName;
  posix::THostPath path;
  if (!posix::ResolveHostPath(copy, path) || !CopyProgramTo(path.Host)) return {};
  if (ShellExecute(0, copy, parameters, folder) <= LaunchErrorLimit) return {};
  return copy;
}

}  // namespace qel::platform
