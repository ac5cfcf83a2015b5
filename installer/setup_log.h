// The log of a run (/LOG=file): what an administrator reads after an unattended install or
// uninstall, or after one that was killed. One line for each file, folder, link and registry
// value the run created, replaced or removed, and for each error and notice, each line
// starting with the local time. Every line is handed to the system as it happens, so the log
// of a run that was killed ends with the last thing it did.
//
// One log serves the whole process: the procedures write to it wherever they change the
// machine, whichever host runs them. Until it is opened, writing does nothing.
#pragma once

#include <string>

#include "platform/files.h"

namespace qel::installer {

enum class TLogObject { loFile, loFolder, loLink, loRegistryValue, loRegistryKey };
enum class TLogChange { lcCreated, lcReplaced, lcRemoved, lcRestored, lcScheduled };

class TSetupLog final {
 public:
  static TSetupLog& Instance();
  ~TSetupLog();

  // Starts the log in file (created anew). False, with the system's reason in LastErrorText,
  // when it cannot be created; the run goes on without a log.
  bool Open(const std::string& file);
  void Close();
  bool Active() const noexcept { return FFile != platform::InvalidFileHandle; }

  // "2024-05-01 14:02:03 created file C:\Program Files\Qel\Qel Orvane\DoVra.exe"
  void Changed(TLogChange change, TLogObject object, const std::string& name);
  // "... error: Cannot create file ..." and "... notice: ...": a message of several lines on one.
  void Error(const std::string& message);
  void Notice(const std::string& message);
  // Any other line: the start of a run, its outcome.
  void Line(const std::string& text);

 private:
  TSetupLog() = default;
  void Write(const std::string& text);

  platform::FileHandle FFile = platform::InvalidFileHandle;
};

// Shorthands for the places that change the machine.
inline TSetupLog& SetupLog() { return TSetupLog::Instance(); }
void LogChange(TLogChange change, TLogObject object, const std::string& name);

}  // namespace qel::installer
