// The window toolkit as a terminal front end. It draws the visible controls of the form as
// text and reads one command a line: a button's word clicks it ("next", "back", "copy",
// "cancel", "browse"), "set <text>" fills the visible edit field, "close" is the window's
// close button. Message boxes ask on the terminal too. Without a terminal on standard input
// it draws without escape sequences, so a script can drive the whole wizard.
#include <unistd.h>

#include <cctype>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "platform/code_pages.h"
#include "platform/ui.h"
#include "platform/ui_controls.h"

namespace qel::platform {

namespace {

// The word that clicks a button: the letters of its caption, or of its tooltip when the
// caption has none ("..." is "browse").
std::string CommandWord(const TButton& button) {
  std::string word;
  for (char c : button.Caption()) {
    if (std::isalpha(static_cast<unsigned char>(c))) word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!word.empty()) return word;
  for (char c : button.Hint) {
    if (std::isalpha(static_cast<unsigned char>(c))) word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return word;
}

class TTerminal final {
 public:
  explicit TTerminal(TForm& form) : FForm(form), FInteractive(isatty(STDIN_FILENO) == 1) {}

  void Draw() const;
  void DrawProgress();
  // One command; false when the input has ended.
  bool Execute();

 private:
  std::vector<TButton*> VisibleButtons() const;
  TEdit* VisibleEdit() const;

  TForm& FForm;
  bool FInteractive;
  std::string FLastProgress;
};

std::vector<TButton*> TTerminal::VisibleButtons() const {
  std::vector<TButton*> buttons;
  for (const auto& control : FForm.Controls()) {
    if (auto* button = dynamic_cast<TButton*>(control.get()); button != nullptr && button->Showing()) {
      buttons.push_back(button);
    }
  }
  return buttons;
}

TEdit* TTerminal::VisibleEdit() const {
  for (const auto& control : FForm.Controls()) {
    if (auto* edit = dynamic_cast<TEdit*>(control.get()); edit != nullptr && edit->Showing()) return edit;
  }
  return nullptr;
}

void TTerminal::Draw() const {
  if (FInteractive) std::cout << "\x1b[H\x1b[2J";
  std::cout << "== " << AnsiToUtf8(FForm.Caption()) << " ==\n";
  for (const auto& control : FForm.Controls()) {
    if (!control->Showing()) continue;
    if (dynamic_cast<const TLabel*>(control.get()) != nullptr) {
      std::cout << AnsiToUtf8(control->Caption()) << "\n";
    } else if (const auto* memo = dynamic_cast<const TMemo*>(control.get())) {
      std::string text;
      for (char c : memo->Text()) {
        if (c != '\r') text += c;
      }
      std::cout << AnsiToUtf8(text) << "\n";
    } else if (const auto* edit = dynamic_cast<const TEdit*>(control.get())) {
      std::cout << "[" << AnsiToUtf8(edit->Text()) << "]  (set <text>)\n";
    } else if (const auto* bar = dynamic_cast<const TProgressBar*>(control.get())) {
      std::cout << bar->Name() << ": " << bar->Position() << "%\n";
    }
  }
  std::string line;
  for (const TButton* button : VisibleButtons()) {
    line += "  <" + AnsiToUtf8(button->Caption()) + ">" + (button->Enabled() ? "" : " (disabled)");
  }
  if (!line.empty()) std::cout << line << "\n";
  std::cout << "> " << std::flush;
}

// Progress during long work: in place on a terminal, else a line for every tenth.
void TTerminal::DrawProgress() {
  std::string progress;
  for (const auto& control : FForm.Controls()) {
    if (const auto* bar = dynamic_cast<const TProgressBar*>(control.get()); bar != nullptr && bar->Showing()) {
      const int shown = FInteractive ? bar->Position() : bar->Position() / 10 * 10;
      progress += (progress.empty() ? "" : "  ") + std::string("[") + std::to_string(shown) + "%]";
    }
  }
  if (progress.empty() || progress == FLastProgress) return;
  FLastProgress = progress;
  std::cout << (FInteractive ? "\r" : "") << progress << (FInteractive ? "" : "\n") << std::flush;
}

bool TTerminal::Execute() {
  std::string line;
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  line = Utf8ToAnsi(line);
  if (line.rfind("set ", 0) == 0 || line == "set") {
    if (TEdit* edit = VisibleEdit()) edit->SetText(line.size() > 4 ? line.substr(4) : std::string());
    return true;
  }
  if (line == "close") {
    FForm.Close();
    return true;
  }
  for (TButton* button : VisibleButtons()) {
    if (CommandWord(*button) == line) {
      button->Click();
      return true;
    }
  }
  std::cout << "? commands: a button's word, set <text>, close\n";
  return true;
}

// Runs one step of the loop and shows what escapes it the way the application shows errors.
template <class TStep>
bool Guarded(TStep&& step) {
  try {
    return step();
  } catch (const std::exception& error) {
    TApplication::ShowException(error.what());
  } catch (...) {
    TApplication::ShowException("Unknown error");
  }
  return true;
}

}  // namespace

int RunApplication(TForm& mainForm) {
  TTerminal terminal(mainForm);
  SetProcessMessagesHandler([&terminal] { terminal.DrawProgress(); });
  Guarded([&] {
    mainForm.ShowForm();
    return true;
  });
  bool more = true;
  while (!mainForm.CloseRequested() && more) {
    terminal.Draw();
    more = Guarded([&] { return terminal.Execute(); });
  }
  if (!mainForm.CloseRequested()) std::cout << "\n(no more input)\n";
  SetProcessMessagesHandler(nullptr);
  return 0;
}

}  // namespace qel::platform
