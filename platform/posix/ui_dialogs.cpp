// The modal dialogs as terminal prompts: the question goes to standard error, the answer is
// one line of standard input (also when a script pipes the answers in).
#include <iostream>
#include <string>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace qel::platform {
namespace {

std::optional<std::string> ReadAnswerLine() {
  std::string line;
  if (!std::getline(std::cin, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return Utf8ToAnsi(line);
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

int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  const TShownDialog shown{"message", text, caption, flags};
  if (TDialogScript::Active()) return TDialogScript::NextAnswer(shown);
  std::cerr << "\n[" << AnsiToUtf8(caption) << "] " << AnsiToUtf8(text) << "\n";
  return AskButtons(flags);
}

bool PromptForFileName(std::string& fileName, const std::string& filter, const std::string& initialDir,
                       const std::string& title) {
  std::optional<std::string> choice;
  if (TDialogScript::Active()) {
    choice = TDialogScript::NextChoice({"open-file", initialDir, filter, 0});
  } else {
    std::cerr << "\n[" << AnsiToUtf8(title) << "] " << AnsiToUtf8(initialDir) << "\nFile name (empty to cancel): "
              << std::flush;
    choice = ReadAnswerLine();
    if (choice && choice->empty()) choice.reset();
  }
  if (!choice) return false;
  fileName = *choice;
  return true;
}

bool SelectDirectory(std::string& directory, const std::string& createPrompt) {
  std::optional<std::string> choice;
  if (TDialogScript::Active()) {
    choice = TDialogScript::NextChoice({"directory", directory, "", 0});
  } else {
    std::cerr << "\n[Select Directory] " << AnsiToUtf8(directory) << "\nDirectory (empty to cancel): " << std::flush;
    choice = ReadAnswerLine();
    if (choice && choice->empty()) choice.reset();
  }
  if (!choice) return false;
  if (!DirectoryExists(*choice)) {
    if (ShowMessageBox(createPrompt, "Confirm", mbYesNo | mbIconQuestion) != idYes) return false;
    ForceDirectories(*choice);
  }
  directory = *choice;
  return true;
}

void SetScreenCursor(TCursorKind kind) { TDialogScript::RecordCursor(kind); }

void ProcessMessages() {
  TDialogScript::CountProcessMessages();
  TDialogScript::RunMessagesHandler();
}

}  // namespace qel::platform
