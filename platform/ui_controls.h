// The window toolkit's retained model: a form and its controls as objects with the properties
// a form reads and writes. A backend draws the model and turns the user's input into Click()
// calls and close requests; tests drive the model directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace qel::platform {

struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};

enum class TAlign { alNone, alTop, alClient };

class TControl {
 public:
  TControl(std::string name, TControl* parent) : FName(std::move(name)), FParent(parent) {}
  virtual ~TControl() = default;
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  // What kind of control this is, for backends and dumps: "label", "button", ...
  virtual const char* Kind() const noexcept = 0;

  const std::string& Name() const noexcept { return FName; }
  TControl* Parent() const noexcept { return FParent; }

  bool Visible() const noexcept { return FVisible; }
  void SetVisible(bool value) { FVisible = value; }
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible itself and inside visible parents: what the user can see.
  bool Showing() const noexcept;

  bool Enabled() const noexcept { return FEnabled; }
  void SetEnabled(bool value) { FEnabled = value; }

  const std::string& Caption() const noexcept { return FCaption; }
  void SetCaption(const std::string& value) { FCaption = value; }

  // What the control is for, in a word or two: a button's tooltip; a front end without
  // tooltips shows it as the control's label.
  std::string Hint;

  const TBounds& Bounds() const noexcept { return FBounds; }
  void SetBounds(const TBounds& value) { FBounds = value; }
  TAlign Align() const noexcept { return FAlign; }
  void SetAlign(TAlign value) { FAlign = value; }

 private:
  std::string FName;
  TControl* FParent;
  bool FVisible = true;
  bool FEnabled = true;
  std::string FCaption;
  TBounds FBounds;
  TAlign FAlign = TAlign::alNone;
};

// A label without a width is as wide as its caption.
class TLabel final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "label"; }
  bool Transparent = false;  // shows what lies beneath instead of the form's background
};

class TButton final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "button"; }
  // Runs OnClick as a mouse click would: only on a button the user can see and use.
  void Click();
  bool Default = false;  // clicked by Enter
  bool Cancel = false;   // clicked by Escape
  std::function<void(TControl& Sender)> OnClick;
};

class TEdit final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "edit"; }
  const std::string& Text() const noexcept { return FText; }
  // Fires OnChange when the text differs: typed, pasted or set by the program alike.
  void SetText(const std::string& value) {
    if (value == FText) return;
    FText = value;
    if (OnChange) OnChange(*this);
  }
  std::function<void(TControl& Sender)> OnChange;

 private:
  std::string FText;
};

// A multi-line text box; its lines are separated by CR LF.
class TMemo final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "memo"; }
  const std::string& Text() const noexcept { return FText; }
  void SetText(const std::string& value) { FText = value; }

 private:
  std::string FText;
};

class TPanel final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "panel"; }
};

class TShape final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "shape"; }
};

class TImage final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "image"; }
  std::string Picture;  // the name of a bitmap resource of the program; none when empty
};

class TBevel final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "bevel"; }
};

class TProgressBar final : public TControl {
 public:
  using TControl::TControl;
  const char* Kind() const noexcept override { return "progress"; }
  int Min() const noexcept { return FMin; }
  int Max() const noexcept { return FMax; }
  int Position() const noexcept { return FPosition; }
  // Kept inside Min to Max, as the native control does.
  void SetPosition(int value);

 private:
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
};

// A top-level window owning its controls. Close() asks OnCloseQuery; an allowed close hides
// the window at once and asks the application to end once control returns to its loop.
class TForm : public TControl {
 public:
  explicit TForm(std::string name) : TControl(std::move(name), nullptr) { SetVisible(false); }
  const char* Kind() const noexcept override { return "form"; }

  // Makes a control owned by the form, with the given parent (the form when none).
  template <class TKind>
  TKind& Add(const std::string& name, TControl* parent = nullptr) {
    auto control = std::make_unique<TKind>(name, parent != nullptr ? parent : this);
    TKind& result = *control;
    FControls.push_back(std::move(control));
    return result;
  }
  // Every control, in creation order (parents before their children).
  const std::vector<std::unique_ptr<TControl>>& Controls() const noexcept { return FControls; }
  TControl* FindControl(const std::string& name) const;

  // Shows the window and fires OnShow the first time.
  void ShowForm();
  void Close();
  bool CloseRequested() const noexcept { return FCloseRequested; }

  std::string Icon;  // the name of an icon resource of the program; the system's own when empty
  // What the user is to know once the window has closed, such as where the work went. A
  // front end that stays on the screen after the window (the terminal) shows it last; a
  // window has nowhere left to show it.
  std::string ClosingNote;
  // What RunApplication returns once the window has closed: the outcome of the work the
  // window ran, as the program's exit status.
  int ExitCode = 0;

  std::function<void(TControl& Sender)> OnShow;
  std::function<void(TControl& Sender, bool& canClose)> OnCloseQuery;

 private:
  std::vector<std::unique_ptr<TControl>> FControls;
  bool FShown = false;
  bool FCloseRequested = false;
};

// The application: its title, and the box every unhandled error ends in.
class TApplication final {
 public:
  static const std::string& Title();
  static void SetTitle(const std::string& title);
  // The error's message with a stop icon, the title as caption.
  static void ShowException(const std::string& message);
};

// The message loop: shows the form (firing OnShow), then draws the model and turns the
// user's input into clicks, edits and close requests until a close is allowed. Errors that
// escape a handler end in TApplication::ShowException, as in a real message loop. Returns
// the form's ExitCode. The Win32 backend uses native controls; the POSIX one is a
// terminal front end that a script can drive one command a line.
int RunApplication(TForm& mainForm);

}  // namespace qel::platform
