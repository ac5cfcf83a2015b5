// The real prompts behind the dialogs of platform/ui.h, one set for each backend. The dialogs
// themselves are written once: they take a scripted answer while TDialogScript is active,
// and only otherwise ask the backend, so none of these is ever called during a script.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qel::platform {

// Called by ShowMessageBox once the window has been brought up to date with the model. Shows
// the box and returns the button chosen.
int AskMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags);

// Called by PromptForFileName. The chosen file; nothing when the user cancels.
std::optional<std::string> AskFileName(const std::string& filter, const std::string& initialDir,
                                       const std::string& title);

// Called by SelectDirectory, starting in directory. The chosen or typed directory, which
// need not exist (the caller asks before creating it); nothing when the user cancels.
std::optional<std::string> AskDirectory(const std::string& directory);

}  // namespace qel::platform
