// The modal dialogs as terminal prompts: the question goes to standard error, the answer is
// one line of standard input (also when a script pipes the answers in, and then the answer is
// echoed, so that a log reads as the conversation it was).
#include <unistd.h>

#include <iostream>
#include <string>

#include "platform/code_pages.h"
#include "platform/ui.h"
#include "platform/ui_prompts.h"

namespace qel::platform {
namespace {

std::optional<std::string> ReadAnswerLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (isatty(STDIN_FILENO) != 1) std::cerr << line << "\n";
  return line;
}

// A line typed for a name; an empty one cancels.
std::optional<std::string> ReadName() {
  std::optional<std::string> name = ReadAnswerLine();
  if (name && name->empty()) name.reset();
  return name;
}

// Texts of the program break lines with CR LF; a terminal wants LF alone.
std::string TerminalText(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c != '\r') result += c;
  }
  return result;
}

int AskButtons(std::uint32_t flags) {
  const std::uint32_t buttons = flags & mbButtonsMask;
  const char* choices = buttons == mbYesNo ? "[y/n]" : buttons == mbOKCancel ? "[o]k/[c]ancel" : "[o]k";
  for (;;) {
    std::cerr << choices << " " << std::flush;
    const std::optional<std::string> answer = ReadAnswerLine();
    if (!answer) return buttons == mbYesNo ? idNo : buttons == mbOKCancel ? idCancel : idOK;
    const char first = answer->empty() ? '\0' : static_cast<char>((*answer)[0] | 0x20);
    if (buttons == mbYesNo) {
      if (first == 'y') return idYes;
      if (first == 'n') return idNo;
    } else if (buttons == mbOKCancel) {
      if (first == 'o' || first == '\0') return idOK;
      if (first == 'c') return idCancel;
    } else {
      return idOK;
    }
  }
}

}  // namespace

int AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  // The page drawn on standard output comes first, whatever buffers the two streams keep.
  std::cout << std::flush;
  std::cerr << "\n[" << caption << "] " << TerminalText(text) << "\n";
  return AskButtons(flags);
}

std::optional<std::string> AskFileName(const std::string&, const std::string& initialDir, const std::string& title) {
  std::cout << std::flush;
  std::cerr << "\n[" << title << "] " << initialDir << "\nFile name (empty to cancel): "
            << std::flush;
  return ReadName();
}

std::optional<std::string> AskDirectory(const std::string& directory) {
  std::cout << std::flush;
  std::cerr << "\n[Select Directory] " << directory << "\nDirectory (empty to cancel): " << std::flush;
  return ReadName();
}

void SetScreenCursor(TCursorKind kind) { TDialogScript::RecordCursor(kind); }

void ProcessMessages() {
  TDialogScript::CountProcessMessages();
  TDialogScript::RunMessagesHandler();
}

}  // namespace qel::platform
