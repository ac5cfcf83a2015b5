#include "installer/uninstaller_copy.h"

#include <cstdint>

#include "base/exceptions.h"
#include "base/stream.h"
#include "base/text.h"
#include "installer/suite.h"
#include "platform/files.h"
#include "platform/process.h"

namespace qel::installer {

namespace {

// A program's file may stay locked for a moment after its process has ended.
constexpr int DeleteAttempts = 50;
constexpr std::uint32_t DeleteRetryMilliseconds = 100;

bool DeleteWithRetries(const std::string& fileName) {
  for (int attempt = 0; attempt < DeleteAttempts; ++attempt) {
    if (platform::DeleteFile(fileName) || !platform::FileExists(fileName)) return true;
    platform::SleepFor(DeleteRetryMilliseconds);
  }
  return false;
}

// The whole content of a file; false when it cannot be read.
bool ReadWhole(const std::string& fileName, std::string& bytes) {
  try {
    base::TFileStream stream(fileName, platform::fmOpenRead | platform::fmShareDenyWrite);
    bytes.resize(static_cast<std::size_t>(stream.Size()));
    return bytes.empty() || stream.Read(bytes.data(), static_cast<std::int32_t>(bytes.size())) ==
                                static_cast<std::int32_t>(bytes.size());
  } catch (const base::Exception&) {
    return false;
  }
}

bool SameBytes(const std::string& a, const std::string& b) {
  std::string first;
  std::string second;
  return ReadWhole(a, first) && ReadWhole(b, second) && first == second;
}

// The installation directory once nothing is left in it, and above it the publisher's
// folder that the default directory (Program Files\Qel\Qel Orvane) brought, if that is
// empty too. Either stays when it holds anything: the user's files are not ours to take.
void RemoveInstallationDirectory(const std::string& programFile) {
  const std::string directory = base::ExtractFileDir(programFile);
  if (!platform::RemoveDir(directory)) return;
  const std::string parent = base::ExtractFileDir(directory);
  if (base::SameText(base::ExtractFileName(parent), PublisherFolder)) platform::RemoveDir(parent);
}

bool ParseProcessId(const std::string& text, std::uint32_t& processId) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const std::uint64_t value = std::stoull(text);
  if (value == 0 || value > UINT32_MAX) return false;
  processId = static_cast<std::uint32_t>(value);
  return true;
}

}  // namespace

bool RemoveUninstallerFile(const std::string& programFile) {
  if (!base::SameText(programFile, platform::ModuleFileName())) {
    const bool gone = platform::DeleteFile(programFile) || !platform::FileExists(programFile);
    RemoveInstallationDirectory(programFile);
    return gone;
  }
  const std::string parameters = std::string(CopyRemovalArgument) + " " +
                                 base::IntToStr(platform::CurrentProcessId()) + " \"" + programFile + "\"";
  return !platform::StartCopyOfProgram(TemporaryUninstallerName, parameters).empty();
}

bool IsCopyRemoval(const std::vector<std::string>& arguments) {
  return !arguments.empty() && arguments.front() == CopyRemovalArgument;
}

int RunCopyRemoval(const std::vector<std::string>& arguments) {
  std::uint32_t processId = 0;
  if (arguments.size() != 3 || !ParseProcessId(arguments[1], processId)) return 1;
  const std::string& programFile = arguments[2];
  platform::WaitForProcessExit(processId);
  const std::string folder = base::ExtractFilePath(programFile);
  if (folder.empty() || platform::FileExists(folder + ManifestName)) return 1;
  const std::string self = platform::ModuleFileName();
  if (base::SameText(self, programFile) || !SameBytes(programFile, self)) return 1;
  if (!DeleteWithRetries(programFile)) return 1;
  RemoveInstallationDirectory(programFile);
  // This copy cannot delete itself while it runs: the system does it at its next start where
  // it may, and the next start of the setup program otherwise.
  platform::DeleteFileAtReboot(self);
  return 0;
}

void RemoveStaleUninstallerCopy() {
  const std::string folder = platform::TemporaryFolder();
  if (folder.empty()) return;
  const std::string copy = folder + TemporaryUninstallerName;
  if (base::SameText(copy, platform::ModuleFileName())) return;
  if (platform::FileExists(copy)) platform::DeleteFile(copy);  // one still running stays: no matter
}

}  // namespace qel::installer
