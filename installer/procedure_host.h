// What the install and uninstall procedures need from whoever runs them: somewhere to show
// progress, and a way to ask the user and to tell the user. The wizard window is one such
// host; an unattended run would be another.
#pragma once

#include <cstdint>
#include <string>

namespace qel::installer {

// Receives the extraction's progress. Called on the thread that runs the procedure, from
// inside the extraction; an implementation may repaint but must not start other work.
class TProgressSink {
 public:
  virtual ~TProgressSink() = default;
  // An entry starts: its path in the archive, its number counted from 1 and the number of
  // entries to extract.
  virtual void FileStarted(const std::string& name, std::int32_t number, std::int32_t count) = 0;
  // The percentage of the entry being extracted, and of the whole archive, 0 to 100.
  virtual void FilePercentDone(std::int32_t percent) = 0;
  virtual void TotalPercentDone(std::int32_t percent) = 0;
};

enum class TNoticeKind { nkInformation, nkError };

// The questions and notices of a procedure. Each call returns once the user has answered.
class TUserDialogue {
 public:
  virtual ~TUserDialogue() = default;
  // A question with OK and Cancel under the caption "Attention"; true only for OK.
  virtual bool Ask(const std::string& question) = 0;
  // A notice with an OK button under the given caption; an error shows as one.
  virtual void Tell(const std::string& notice, const std::string& caption, TNoticeKind kind) = 0;
};

}  // namespace qel::installer
