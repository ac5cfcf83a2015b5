// The modal dialogs, cursors and message processing the archive component needs from the
// window toolkit. Tests and scripted front ends answer the dialogs from a queue.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qel::platform {

// Buttons and icons of a message box, with the values of MessageBoxA's flags.
inline constexpr std::uint32_t mbOK = 0x00;
inline constexpr std::uint32_t mbOKCancel = 0x01;
inline constexpr std::uint32_t mbYesNo = 0x04;
inline constexpr std::uint32_t mbIconStop = 0x10;
inline constexpr std::uint32_t mbIconQuestion = 0x20;
inline constexpr std::uint32_t mbIconWarning = 0x30;
inline constexpr std::uint32_t mbIconInformation = 0x40;
inline constexpr std::uint32_t mbButtonsMask = 0x0F;

// The answers, with MessageBoxA's result values.
inline constexpr int idOK = 1;
inline constexpr int idCancel = 2;
inline constexpr int idYes = 6;
inline constexpr int idNo = 7;

// A modal message box; returns the button chosen. The window behind it is first brought up to
// date with the model (the messages handler runs), so it shows what the box is about.
int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags);

// The open-file dialog. filter is "Description|*.ext|Description|*.ext". On OK, fileName
// receives the chosen file and the result is true; cancelling returns false.
bool PromptForFileName(std::string& fileName, const std::string& filter, const std::string& initialDir,
                       const std::string& title);

// The directory-selection dialog, starting in directory. The user may type a directory that
// does not exist: it is accepted only after createPrompt is answered Yes, and is then created.
// On OK, directory receives the choice; cancelling returns false.
bool SelectDirectory(std::string& directory, const std::string& createPrompt);

enum class TCursorKind { crDefault, crHourGlass, crAppStart };
void SetScreenCursor(TCursorKind kind);
TCursorKind ScreenCursor();

// Lets the window process pending messages (repaints, button clicks) during long work.
void ProcessMessages();
// The window toolkit installs what ProcessMessages does beyond the platform's own queue.
void SetProcessMessagesHandler(std::function<void()> handler);

// Scripted answers. While scripting is on, every dialog takes the next answer from the queue
// and is recorded instead of being shown; an empty queue answers as the Escape key would
// (Cancel, No, or OK for a box with only OK).
struct TShownDialog {
  std::string Kind;  // "message", "open-file", "directory" or "folder"
  std::string Text;  // the message text, or the initial file or directory
  std::string Caption;  // the caption or title (the filter for "open-file")
  std::uint32_t Flags = 0;
};

// An unattended run (a silent install): from the call on no dialog is shown, for the rest of
// the process. Each one is handed to note instead (so the run can log what it would have said)
// and answered as the Escape key would answer it: Cancel, No, or OK for a box with only OK; a
// file or directory dialog as cancelled. The shell's file operations then show neither their
// progress nor their errors. A dialog script, while active, still takes precedence.
void RunUnattended(std::function<void(const TShownDialog&)> note);
bool Unattended();

class TDialogScript final {
 public:
  static void Start();  // scripting on, queue and record cleared
  static void Stop();
  static bool Active();
  static void PushAnswer(int buttonId);  // for the next message box
  static void PushChoice(std::optional<std::string> choice);  // for the next file or directory dialog
  static const std::vector<TShownDialog>& Shown();
  static std::size_t ProcessMessagesCalls();

  // Used by the platform implementations.
  static int NextAnswer(const TShownDialog& shown);
  // Notes an unattended run's dialog and gives the answer it takes (see RunUnattended).
  static int UnattendedAnswer(const TShownDialog& shown);
  static std::optional<std::string> NextChoice(const TShownDialog& shown);
  static void CountProcessMessages();
  static void RecordCursor(TCursorKind kind);
  static void RunMessagesHandler();
};

}  // namespace qel::platform
