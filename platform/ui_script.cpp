#include <deque>

#include "platform/ui.h"

namespace qel::platform {
namespace {

struct ScriptState {
  bool Active = false;
  std::deque<int> Answers;
  std::deque<std::optional<std::string>> Choices;
  std::vector<TShownDialog> Shown;
  std::size_t ProcessMessagesCalls = 0;
};

// What the program set, whether or not a script answers its dialogs.
TCursorKind CurrentCursor = TCursorKind::crDefault;

std::function<void()>& MessagesHandler() {
  static std::function<void()> handler;
  return handler;
}

std::function<void(const TShownDialog&)>& UnattendedNote() {
  static std::function<void(const TShownDialog&)> note;
  return note;
}
bool UnattendedRun = false;

ScriptState& State() {
  static ScriptState state;
  return state;
}

int EscapeAnswer(std::uint32_t flags) {
  switch (flags & mbButtonsMask) {
    case mbOK: return idOK;
    case mbYesNo: return idNo;
    default: return idCancel;
  }
}

}  // namespace

void TDialogScript::Start() {
  State() = ScriptState{};
  State().Active = true;
}

void TDialogScript::Stop() { State() = ScriptState{}; }
bool TDialogScript::Active() { return State().Active; }
void TDialogScript::PushAnswer(int buttonId) { State().Answers.push_back(buttonId); }
void TDialogScript::PushChoice(std::optional<std::string> choice) { State().Choices.push_back(std::move(choice)); }
const std::vector<TShownDialog>& TDialogScript::Shown() { return State().Shown; }
std::size_t TDialogScript::ProcessMessagesCalls() { return State().ProcessMessagesCalls; }
void TDialogScript::CountProcessMessages() { ++State().ProcessMessagesCalls; }

void TDialogScript::RecordCursor(TCursorKind kind) { CurrentCursor = kind; }

void TDialogScript::RunMessagesHandler() {
  if (MessagesHandler()) MessagesHandler()();
}

void RunUnattended(std::function<void(const TShownDialog&)> note) {
  UnattendedRun = true;
  UnattendedNote() = std::move(note);
}

bool Unattended() { return UnattendedRun; }

int TDialogScript::UnattendedAnswer(const TShownDialog& shown) {
  if (UnattendedNote()) UnattendedNote()(shown);
  return EscapeAnswer(shown.Flags);
}

TCursorKind ScreenCursor() { return CurrentCursor; }

void SetProcessMessagesHandler(std::function<void()> handler) { MessagesHandler() = std::move(handler); }

int TDialogScript::NextAnswer(const TShownDialog& shown) {
  ScriptState& state = State();
  state.Shown.push_back(shown);
  if (state.Answers.empty()) return EscapeAnswer(shown.Flags);
  const int answer = state.Answers.front();
  state.Answers.pop_front();
  return answer;
}

std::optional<std::string> TDialogScript::NextChoice(const TShownDialog& shown) {
  ScriptState& state = State();
  state.Shown.push_back(shown);
  if (state.Choices.empty()) return std::nullopt;
  std::optional<std::string> choice = std::move(state.Choices.front());
  state.Choices.pop_front();
  return choice;
}

}  // namespace qel::platform
