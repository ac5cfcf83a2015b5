// The window toolkit as a terminal front end. It draws the visible controls of the form as
// text and reads one command a line: a button's word clicks it ("next", "back", "copy",
// "cancel", "browse"), "set <text>" fills the visible edit field, "close" is the window's
// close button; case does not matter. Every page lists the words that work on it. Message
// boxes ask on the terminal too. Without a terminal on standard input it draws without escape
// sequences, one line after another, and echoes each command, so a script can drive the
// whole wizard and read back what it did.
#include <unistd.h>

#include <algorithm>
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

constexpr int BarCells = 20;     // a bar's whole range, so each cell stands for 5%
constexpr int ProgressStep = 10;  // without a terminal, a line each time a bar enters another tenth

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), Lower);
  return text;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Letters(const std::string& text) {
  std::string letters;
  for (char c : text) {
    if (IsLetter(c)) letters += Lower(c);
  }
  return letters;
}

// The word that clicks a button: the letters of its caption, or of its tooltip when the
// caption has none ("..." is "browse").
std::string CommandWord(const TButton& button) {
  const std::string word = Letters(button.Caption());
  return word.empty() ? Letters(button.Hint) : word;
}

// A button as its caption in brackets; a caption without a word is followed by the hint
// that gives the button its word: "[...] Browse".
std::string ButtonFace(const TButton& button) {
  std::string face = "[" + button.Caption() + "]";
  if (Letters(button.Caption()).empty() && !button.Hint.empty()) face += " " + button.Hint;
  return face;
}

int Percent(const TProgressBar& bar) {
  const int range = bar.Max() - bar.Min();
  return range > 0 ? (bar.Position() - bar.Min()) * 100 / range : 100;
}

// A bar is named by its hint; by the control's name when it has none.
std::string BarLabel(const TProgressBar& bar) { return bar.Hint.empty() ? bar.Name() : bar.Hint; }

std::string PadRight(std::string text, std::size_t width) {
  text.resize(std::max(width, text.size()), ' ');
  return text;
}

// "File   [##########          ]  50%", the label padded to labelWidth.
std::string BarLine(const TProgressBar& bar, std::size_t labelWidth) {
  const int percent = Percent(bar);
  const int filled = percent * BarCells / 100;
  const std::string number = std::to_string(percent);
  // Three places for 0 to 100, so that the percentages line up as the bars do.
  return PadRight(BarLabel(bar), labelWidth) + "  [" + std::string(filled, '#') + std::string(BarCells - filled, ' ') +
         "] " + std::string(3 - number.size(), ' ') + number + "%";
}

class TTerminal final {
 public:
  explicit TTerminal(TForm& form) : FForm(form), FInteractive(isatty(STDIN_FILENO) == 1) {}

  // The page with the words that work on it, and the prompt.
  void DrawPage();
  // While long work lets messages through (and before a message box): the progress bars,
  // and the page they are on once it has changed.
  void DrawProgress();
  // Once the window has closed: the note it leaves, if any.
  void DrawClosingNote();
  // One command; false when the input has ended.
  bool Execute();

 private:
  std::vector<const TControl*> ShowingControls() const;
  std::vector<TButton*> VisibleButtons() const;
  TEdit* VisibleEdit() const;
  std::vector<const TProgressBar*> ShowingBars() const;
  std::size_t BarLabelWidth() const;
  std::vector<int> ProgressSteps() const;
  // The page's lines: its caption and controls, with the commands only when they can be typed.
  std::vector<std::string> PageLines(bool withCommands) const;
  void CommandLines(std::vector<std::string>& lines) const;
  // On a terminal the screen is drawn over in place; otherwise the lines follow the last ones.
  void Write(const std::vector<std::string>& lines);
  void NoteDrawn();

  TForm& FForm;
  bool FInteractive;
  std::vector<const TControl*> FDrawnControls;  // what showed when the page was last drawn
  std::vector<int> FDrawnSteps;                 // the tenths the bars were last drawn at
  std::vector<std::string> FScreen;             // on a terminal: what the screen shows
};

std::vector<const TControl*> TTerminal::ShowingControls() const {
  std::vector<const TControl*> showing;
  for (const auto& control : FForm.Controls()) {
    if (control->Showing()) showing.push_back(control.get());
  }
  return showing;
}

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

std::vector<const TProgressBar*> TTerminal::ShowingBars() const {
  std::vector<const TProgressBar*> bars;
  for (const TControl* control : ShowingControls()) {
    if (const auto* bar = dynamic_cast<const TProgressBar*>(control)) bars.push_back(bar);
  }
  return bars;
}

// The bars' names in one column, so that the bars line up.
std::size_t TTerminal::BarLabelWidth() const {
  std::size_t width = 0;
  for (const TProgressBar* bar : ShowingBars()) width = std::max(width, BarLabel(*bar).size());
  return width;
}

std::vector<int> TTerminal::ProgressSteps() const {
  std::vector<int> steps;
  for (const TProgressBar* bar : ShowingBars()) steps.push_back(Percent(*bar) / ProgressStep);
  return steps;
}

std::vector<std::string> TTerminal::PageLines(bool withCommands) const {
  std::vector<std::string> lines{"== " + FForm.Caption() + " =="};
  const std::size_t labelWidth = BarLabelWidth();
  for (const TControl* control : ShowingControls()) {
    if (dynamic_cast<const TLabel*>(control) != nullptr) {
      if (!control->Caption().empty()) lines.push_back(control->Caption());
    } else if (const auto* memo = dynamic_cast<const TMemo*>(control)) {
      // One screen line a memo line, so that a terminal clears each where it ends.
      std::string line;
      for (char c : memo->Text() + "\n") {
        if (c == '\n') {
          lines.push_back(line);
          line.clear();
        } else if (c != '\r') {
          line += c;
        }
      }
    } else if (const auto* edit = dynamic_cast<const TEdit*>(control)) {
      lines.push_back("[" + edit->Text() + "]" + (withCommands ? "  type: set <text>" : ""));
    } else if (const auto* bar = dynamic_cast<const TProgressBar*>(control)) {
      lines.push_back(BarLine(*bar, labelWidth));
    }
  }
  if (withCommands) CommandLines(lines);
  return lines;
}

// Every button with the word that clicks it, and always the way out: a page without a usable
// button (the progress page after an error) would otherwise leave the user at a bare prompt.
void TTerminal::CommandLines(std::vector<std::string>& lines) const {
  const std::vector<TButton*> buttons = VisibleButtons();
  std::size_t faceWidth = 0;
  for (const TButton* button : buttons) faceWidth = std::max(faceWidth, ButtonFace(*button).size());
  for (const TButton* button : buttons) {
    lines.push_back("  " + PadRight(ButtonFace(*button), faceWidth) + "  " +
                    (button->Enabled() ? "type: " + CommandWord(*button) : std::string("(disabled)")));
  }
  lines.push_back(buttons.empty() ? "type: close to leave" : "  or type: close to leave");
}

void TTerminal::Write(const std::vector<std::string>& lines) {
  if (FInteractive) {
    // Over the old screen line by line, each line and the rest cleared, so nothing flickers.
    std::cout << "\x1b[H";
    for (const std::string& line : lines) std::cout << line << "\x1b[K\n";
    std::cout << "\x1b[J";
    FScreen = lines;
  } else {
    for (const std::string& line : lines) std::cout << line << "\n";
  }
  std::cout << std::flush;
}

void TTerminal::NoteDrawn() {
  FDrawnControls = ShowingControls();
  FDrawnSteps = ProgressSteps();
}

void TTerminal::DrawPage() {
  Write(PageLines(true));
  NoteDrawn();
  std::cout << "> " << std::flush;
}

// Nothing can be typed during work, so a page is drawn here without its commands, and only
// when it has progress bars to show; the loop draws it whole once the work has ended.
void TTerminal::DrawProgress() {
  if (ShowingBars().empty()) return;
  if (FInteractive) {
    std::vector<std::string> lines = PageLines(false);
    if (lines != FScreen) Write(lines);
    NoteDrawn();
    return;
  }
  if (ShowingControls() != FDrawnControls) {
    Write(PageLines(false));
    NoteDrawn();
    return;
  }
  const std::vector<int> steps = ProgressSteps();
  if (steps == FDrawnSteps) return;
  FDrawnSteps = steps;
  // The exact values, though a line is written only per tenth: the last line before a box
  // or the closing note shows where the work ended, 100% included.
  std::string line;
  const std::size_t labelWidth = BarLabelWidth();
  for (const TProgressBar* bar : ShowingBars()) line += (line.empty() ? "" : "   ") + BarLine(*bar, labelWidth);
  Write({line});
}

void TTerminal::DrawClosingNote() {
  if (FForm.ClosingNote.empty()) return;
  Write({"== " + FForm.Caption() + " ==", FForm.ClosingNote});
}

bool TTerminal::Execute() {
  std::string line;
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // A terminal echoes what was typed; a script's line is written after the prompt here.
  if (!FInteractive) std::cout << line << "\n";
  const std::string command = Lowercase(Trimmed(line));
  if (command == "set" || Lowercase(line.substr(0, 4)) == "set ") {
    // The text as typed, case and blanks included.
    if (TEdit* edit = VisibleEdit()) edit->SetText(line.size() > 4 ? line.substr(4) : std::string());
    return true;
  }
  if (command == "close") {
    FForm.Close();
    return true;
  }
  for (TButton* button : VisibleButtons()) {
    if (CommandWord(*button) == command) {
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
    terminal.DrawPage();
    more = Guarded([&] { return terminal.Execute(); });
  }
  if (mainForm.CloseRequested()) {
    terminal.DrawClosingNote();
  } else {
    std::cout << "\n(no more input)\n";
  }
  SetProcessMessagesHandler(nullptr);
  return mainForm.ExitCode;
}

}  // namespace qel::platform
