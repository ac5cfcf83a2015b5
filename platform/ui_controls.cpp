#include "platform/ui_controls.h"

#include <algorithm>

#include "platform/ui.h"

namespace qel::platform {

namespace {
std::string ApplicationTitle;
}  // namespace

bool TControl::Showing() const noexcept {
  for (const TControl* control = this; control != nullptr; control = control->Parent()) {
    if (!control->Visible()) return false;
  }
  return true;
}

void TButton::Click() {
  if (Showing() && Enabled() && OnClick) OnClick(*this);
}

void TProgressBar::SetPosition(int value) { FPosition = std::clamp(value, FMin, FMax); }

TControl* TForm::FindControl(const std::string& name) const {
  for (const auto& control : FControls) {
    if (control->Name() == name) return control.get();
  }
  return nullptr;
}

void TForm::ShowForm() {
  Show();
  if (!FShown) {
    FShown = true;
    if (OnShow) OnShow(*this);
  }
}

void TForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(*this, canClose);
  if (!canClose) return;
  Hide();
  FCloseRequested = true;
}

const std::string& TApplication::Title() { return ApplicationTitle; }

void TApplication::SetTitle(const std::string& title) { ApplicationTitle = title; }

void TApplication::ShowException(const std::string& message) {
  ShowMessageBox(message, ApplicationTitle, mbOK | mbIconStop);
}

}  // namespace qel::platform
