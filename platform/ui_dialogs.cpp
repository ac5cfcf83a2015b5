// The modal dialogs, the same on every build: a script answers them while it runs, the
// backend's prompts otherwise; what follows the answer is decided here once.
#include "platform/files.h"
#include "platform/ui.h"
#include "platform/ui_prompts.h"

namespace qel::platform {

int ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  const TShownDialog shown{"message", text, caption, flags};
  if (TDialogScript::Active()) return TDialogScript::NextAnswer(shown);
  if (Unattended()) return TDialogScript::UnattendedAnswer(shown);
  // The window behind the box shows the model as it stands, not as it stood at the last
  // pause: a progress bar shows its last step, 100% included.
  TDialogScript::RunMessagesHandler();
  return AskMessageBox(text, caption, flags);
}

bool PromptForFileName(std::string& fileName, const std::string& filter, const std::string& initialDir,
                       const std::string& title) {
  if (!TDialogScript::Active() && Unattended()) {
    TDialogScript::UnattendedAnswer({"open-file", initialDir, filter, mbOKCancel});
    return false;
  }
  const std::optional<std::string> choice = TDialogScript::Active()
                                                ? TDialogScript::NextChoice({"open-file", initialDir, filter, 0})
                                                : AskFileName(filter, initialDir, title);
  if (!choice) return false;
  fileName = *choice;
  return true;
}

bool SelectDirectory(std::string& directory, const std::string& createPrompt) {
  if (!TDialogScript::Active() && Unattended()) {
    TDialogScript::UnattendedAnswer({"directory", directory, "", mbOKCancel});
    return false;
  }
  const std::optional<std::string> choice =
      TDialogScript::Active() ? TDialogScript::NextChoice({"directory", directory, "", 0}) : AskDirectory(directory);
  // An empty answer names no directory: it is a cancel, not the current one.
  if (!choice || choice->empty()) return false;
  if (!DirectoryExists(*choice)) {
    if (ShowMessageBox(createPrompt, "Confirm", mbYesNo | mbIconQuestion) != idYes) return false;
    ForceDirectories(*choice);
  }
  directory = *choice;
  return true;
}

}  // namespace qel::platform
