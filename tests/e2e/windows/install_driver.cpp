// The shipped program end to end, as a user on Windows meets it: Install.exe is started in
// the folder that holds image.zip, its window is walked through its three pages with clicks
// and keys, its message boxes are answered by caption and text, and what it installed is read
// back; then the uninstall command it registered is run and what it removed is checked.
//   install_driver INSTALL_EXE EXPECTED_DIR EXPECTED_MANIFEST SCREENSHOT_DIR
// EXPECTED_DIR holds the archive's entries as another program extracted them, and
// EXPECTED_MANIFEST the manifest they make. A screenshot of each page and box lands in
// SCREENSHOT_DIR. Prints a line per check and ends with "N passed, N failed".
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "desktop.h"
#include "installed.h"

namespace qel::e2e {

namespace {

constexpr const char* WindowCaption = "Install Qel Orvane";
constexpr const char* WelcomeStep = "Welcome to Qel Orvane Installation";
constexpr const char* UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Qel Orvane";
constexpr int MessageTextId = 0xFFFF;  // the text of a message box
constexpr int StartTimeout = 120000;   // a first program in a new prefix starts slowly
constexpr int StepTimeout = 30000;
constexpr int InstallTimeout = 180000;

struct TShortcut {
  const char* LinkFile;
  const char* Target;
  const char* Arguments;
};
constexpr TShortcut Shortcuts[] = {
    {"Qel Dovra.lnk", "DoVra.exe", ""},       {"Pixet.lnk", "QelPixet.exe", ""},
    {"Qel Farrow.lnk", "QelFarrow.exe", ""},  {"Qel Marken.lnk", "QelMarken.exe", ""},
    {"Qel Zonda.lnk", "QelZonda.exe", ""},    {"Qel Dayvo.lnk", "QelDayvo.exe", ""},
    {"Qel Scrivo.lnk", "QelScrivo.exe", ""},  {"Qel Lantern.lnk", "qellantern.url", ""},
    {"Uninstall.lnk", "Install.exe", "u"},
};

// Stops the scenario where going on would only pile up consequences of one failure.
struct TStop : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class TChecks final {
 public:
  bool Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    std::fflush(stdout);
    (ok ? FPassed : FFailed) += 1;
    return ok;
  }
  void Require(bool ok, const std::string& what) {
    if (!Check(ok, what)) throw TStop(what);
  }
  int Failed() const { return FFailed; }
  void Summary() const { std::printf("install_driver: %d passed, %d failed\n", FPassed, FFailed); }

 private:
  int FPassed = 0;
  int FFailed = 0;
};

bool WaitUntil(const std::function<bool()>& condition, int milliseconds = StepTimeout) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Pause(50);
  }
  return true;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Windows paths compare ignoring case, with or without a closing separator.
bool SamePath(std::string a, std::string b) {
  while (!a.empty() && a.back() == '\\') a.pop_back();
  while (!b.empty() && b.back() == '\\') b.pop_back();
  return Lower(a) == Lower(b);
}

// The lines of a manifest; one with names beyond ASCII starts with the UTF-8 mark.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// The program and the arguments of a registered command, quoted ("C:\...\Install.exe" u) or
// not (C:\...\Install.exe u, the path running up to the last space).
std::pair<std::string, std::string> SplitCommand(const std::string& command) {
  if (!command.empty() && command.front() == '"') {
    const std::size_t close = command.find('"', 1);
    if (close == std::string::npos) return {command.substr(1), ""};
    std::string rest = command.substr(close + 1);
    rest.erase(0, rest.find_first_not_of(' '));
    return {command.substr(1, close - 1), rest};
  }
  const std::size_t space = command.rfind(' ');
  if (space == std::string::npos) return {command, ""};
  return {command.substr(0, space), command.substr(space + 1)};
}

// Text outside the ANSI code page, which desktop.h's helpers (the "A" messages) cannot carry:
// typed into a control as the keyboard would, through the program's message queue, and read
// back as the control holds it. The wide messages reach into the other process as the others do.
void TypeWide(TWindow control, const std::wstring& text) {
  for (const wchar_t c : text) PostMessageW(reinterpret_cast<HWND>(control), WM_CHAR, c, 1);
}

std::wstring WideText(TWindow window) {
  const HWND handle = reinterpret_cast<HWND>(window);
  const auto length = SendMessageW(handle, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto got = SendMessageW(handle, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got));
  return text;
}

std::string Utf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
  std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr, nullptr);
  return utf8;
}

std::string Dump(const TRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + " " + std::to_string(r.Width) + "x" +
         std::to_string(r.Height);
}

// The window and its controls, found once by what they show on the welcome page.
struct TWizard {
  TWindow Form = NoWindow;
  TWindow Title = NoWindow;
  TWindow StepInfo = NoWindow;
  TWindow Header = NoWindow;
  TWindow Memo = NoWindow;
  TWindow EditDir = NoWindow;
  TWindow Browse = NoWindow;
  TWindow Back = NoWindow;
  TWindow Next = NoWindow;
  TWindow Exit = NoWindow;
  std::vector<TWindow> ProgressBars;
};

class TScenario final {
 public:
  TScenario(std::vector<std::string> arguments) : FArgs(std::move(arguments)) {}
  void Run();
  TChecks& Checks() { return FChecks; }

 private:
  std::string Shot(const std::string& name) const { return FArgs[3] + "\\" + name + ".png"; }
  int Scaled(int pixels) const { return pixels * FDpi / 96; }
  TWindow WaitForBox(std::uint32_t processId, int milliseconds);
  void Answer(TProcess& program, const std::string& caption, const std::string& text, int button,
              const std::string& shot, int milliseconds = StepTimeout);
  void FindControls(TProcess& installer);
  void CheckLayout();
  void CheckFocusUsable(const std::string& page);
  void Install(TProcess& installer);
  void KilledAndStartedAgain(const std::string& program, const std::string& folder);
  void CheckInstalled();
  void Uninstall();

  std::vector<std::string> FArgs;
  TChecks FChecks;
  TWizard FWizard;
  int FDpi = 96;
  std::string FInstallDir;  // without a closing separator
  std::string FMenuFolder;
};

TWindow TScenario::WaitForBox(std::uint32_t processId, int milliseconds) {
  TWindow box = NoWindow;
  WaitUntil(
      [&] {
        const std::vector<TWindow> boxes = TopWindows(processId, "#32770");
        box = boxes.empty() ? NoWindow : boxes.front();
        return box != NoWindow;
      },
      milliseconds);
  return box;
}

// Waits for the program's message box, checks it says what it should, keeps a picture of it
// and presses the button. A box with other words stops the scenario, with its words shown.
void TScenario::Answer(TProcess& program, const std::string& caption, const std::string& text, int button,
                       const std::string& shot, int milliseconds) {
  const TWindow box = WaitForBox(program.Id(), milliseconds);
  std::uint32_t exitCode = 0;
  if (box == NoWindow && program.WaitForExit(0, exitCode)) std::printf("  the program ended, exit code %u\n", exitCode);
  FChecks.Require(box != NoWindow, "the message box \"" + text + "\" appears");
  Pause(200);  // let it paint before the picture
  Capture(box, Shot(shot));
  const std::string shownCaption = Text(box);
  const std::string shownText = Text(DialogItem(box, MessageTextId));
  FChecks.Require(shownCaption == caption && shownText == text,
                  "the box says \"" + text + "\" under \"" + caption + "\" (it says \"" + shownText + "\" under \"" +
                      shownCaption + "\")");
  Click(DialogItem(box, button));
  FChecks.Require(WaitUntil([&] { return !Visible(box); }), "the box closes on its button");
}

void TScenario::FindControls(TProcess& installer) {
  FWizard = TWizard{};  // the controls of an earlier process are gone with it
  TWizard& w = FWizard;
  const std::uint32_t processId = installer.Id();
  WaitUntil(
      [&] {
        for (const TWindow window : TopWindows(processId, "")) {
          if (Text(window) == WindowCaption) w.Form = window;
        }
        return w.Form != NoWindow || !installer.Running();
      },
      StartTimeout);
  std::uint32_t exitCode = 0;
  if (w.Form == NoWindow && installer.WaitForExit(0, exitCode)) std::printf("  the program ended, exit code %u\n", exitCode);
  if (w.Form == NoWindow) {
    for (const TWindow window : TopWindows(0, "")) {
      std::printf("  visible: \"%s\" (%s) of process %u, not %u\n", Text(window).c_str(), ClassName(window).c_str(),
                  static_cast<unsigned>(ProcessOf(window)), static_cast<unsigned>(processId));
    }
  }
  FChecks.Require(w.Form != NoWindow, "the window \"Install Qel Orvane\" appears");
  Pause(500);  // the first paint
  w.Title = FindChild(w.Form, "Static", "Qel Orvane");
  w.StepInfo = FindChild(w.Form, "Static", WelcomeStep);
  for (const TWindow picture : Children(w.Form, "Static")) {
    if (ShowsBitmap(picture)) w.Header = picture;
  }
  const std::vector<TWindow> edits = Children(w.Form, "Edit");
  for (const TWindow edit : edits) (Visible(edit) ? w.Memo : w.EditDir) = edit;
  w.Browse = FindChild(w.Form, "Button", "...");
  w.Back = FindChild(w.Form, "Button", "<< Back");
  w.Next = FindChild(w.Form, "Button", "Next >>");
  w.Exit = FindChild(w.Form, "Button", "Cancel");
  w.ProgressBars = Children(w.Form, "msctls_progress32");
  FChecks.Require(w.Title && w.StepInfo && w.Header && w.Memo && w.EditDir && w.Browse && w.Back && w.Next && w.Exit &&
                      w.ProgressBars.size() == 2,
                  "the window holds the header, the pages' controls and the buttons");
}

void TScenario::CheckLayout() {
  const TWizard& w = FWizard;
  struct TPlace {
    const char* Name;
    TWindow Control;
    TRect Expected;
  };
  // Pages sit in the panel at 16, 64; labels are as large as their text, so only their corner counts.
  const TPlace places[] = {
      {"the window's client area", w.Form, {0, 0, 464, 322}},
      {"the header picture", w.Header, {400, 2, 65, 57}},
      {"the directory field", w.EditDir, {24, 96, 393, 21}},
      {"the Browse button", w.Browse, {420, 94, 25, 25}},
      {"the Back button", w.Back, {200, 288, 73, 25}},
      {"the Next button", w.Next, {284, 288, 69, 25}},
      {"the Cancel button", w.Exit, {384, 288, 73, 25}},
      {"the welcome text", w.Memo, {16, 64, 433, 209}},
  };
  for (const TPlace& place : places) {
    const TRect expected{Scaled(place.Expected.Left), Scaled(place.Expected.Top), Scaled(place.Expected.Width),
                         Scaled(place.Expected.Height)};
    const TRect shown = Bounds(place.Control);
    FChecks.Check(shown == expected, std::string(place.Name) + " at " + Dump(expected) + " (" + Dump(shown) + ")");
  }
  const TRect title = Bounds(w.Title);
  const TRect step = Bounds(w.StepInfo);
  FChecks.Check(title.Left == Scaled(8) && title.Top == Scaled(9) && step.Left == Scaled(10) && step.Top == Scaled(34) &&
                    step.Top + step.Height <= Scaled(57) && step.Left + step.Width < Scaled(400),
                "the header's labels lie on the white band, clear of the picture");
}

void TScenario::CheckFocusUsable(const std::string& page) {
  const TWindow focus = Focus(FWizard.Form);
  FChecks.Check(focus == FWizard.Form || (focus != NoWindow && Visible(focus) && Enabled(focus)),
                "on the " + page + " the keyboard focus is on a control the user can see (" + ClassName(focus) + " \"" +
                    Text(focus) + "\")");
}

void TScenario::Install(TProcess& installer) {
  const TWizard& w = FWizard;
  const std::uint32_t id = installer.Id();
  const std::string programFiles =
      RegistryString(THive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir").value_or("C:");

  // The welcome page.
  FChecks.Check(Visible(w.Title) && Visible(w.StepInfo) && Visible(w.Header), "the header shows its title, step and picture");
  FChecks.Check(Visible(w.Memo) && !Visible(w.EditDir) && !Visible(w.ProgressBars[0]), "the welcome page shows alone");
  FChecks.Check(!Enabled(w.Back) && Enabled(w.Next) && Enabled(w.Exit), "Back starts disabled, Next and Cancel enabled");
  CheckLayout();
  CheckFocusUsable("welcome page");
  Capture(w.Form, Shot("1-welcome"));

  // Escape is Cancel: it asks, and Cancel keeps the window as it was.
  PressKey(Focus(w.Form) != NoWindow ? Focus(w.Form) : w.Form, KeyEscape);
  Answer(installer, "Attention", "Do you really want to exit?", DialogCancel, "1b-exit-question");
  FChecks.Check(Visible(w.Form) && Text(w.StepInfo) == WelcomeStep, "declining the exit question keeps the welcome page");

  // Enter is Next.
  PressKey(Focus(w.Form) != NoWindow ? Focus(w.Form) : w.Form, KeyEnter);
  FChecks.Require(WaitUntil([&] { return Text(w.StepInfo) == "Select directory"; }), "Enter goes on to the directory page");
  FChecks.Check(Text(w.Next) == "Copy >>" && Enabled(w.Back), "the directory page offers Copy >> and Back");
  const std::string defaultDir = programFiles + "\\Qel\\Qel Orvane";
  FChecks.Check(Text(w.EditDir) == defaultDir, "the directory field proposes " + defaultDir + " (" + Text(w.EditDir) + ")");
  FChecks.Check(TooltipText(id, w.Browse) == "Browse", "the ... button's tooltip says Browse");

  // Back and forth with the mouse.
  Click(w.Back);
  FChecks.Check(WaitUntil([&] { return Text(w.StepInfo) == WelcomeStep && Text(w.Next) == "Next >>"; }),
                "Back returns to the welcome page");
  CheckFocusUsable("welcome page, after Back");
  Click(w.Next);
  FChecks.Require(WaitUntil([&] { return Text(w.StepInfo) == "Select directory" && Visible(w.EditDir); }),
                  "Next shows the directory page again");
  CheckFocusUsable("directory page");
  // Tab walks what the page shows, in the layout's order, and comes round again.
  const TWindow tabOrder[] = {w.Exit, w.EditDir, w.Browse, w.Back, w.Next};
  bool inOrder = Focus(w.Form) == w.Next;
  for (const TWindow expected : tabOrder) {
    PressKey(Focus(w.Form), KeyTab);
    inOrder = inOrder && WaitUntil([&] { return Focus(w.Form) == expected; }, 5000);
  }
  FChecks.Check(inOrder, "Tab goes from Copy >> to Cancel, the directory field, ..., Back and Copy >> again");

  // Greek, Chinese and an umlaut typed together come through the program's message loop whole;
  // an "A" loop would turn the Greek and Chinese letters into "O" and "?".
  const std::wstring typed = L"C:\\\u03A9 \u4E2D\u6587 J\u00F6rg";
  SetText(w.EditDir, "");
  TypeWide(w.EditDir, typed);
  const bool typedWhole = WaitUntil([&] { return WideText(w.EditDir) == typed; }, 5000);
  FChecks.Check(typedWhole,
                "the directory field takes " + Utf8(typed) + " as typed (" + Utf8(WideText(w.EditDir)) + ")");

  // A folder named in Chinese and Greek, as a user anywhere may name it.
  FInstallDir = programFiles + "\\Qel Tests\\\xE4\xB8\xAD\xE6\x96\x87 Qel \xCE\xA9";
  SetText(w.EditDir, FInstallDir);
  FChecks.Check(Text(w.EditDir) == FInstallDir, "the directory field takes " + FInstallDir);
  Capture(w.Form, Shot("2-directory"));
  PointAt(w.Browse);  // the tooltip pops up, for its own picture
  Pause(1500);
  for (const TWindow tip : TopWindows(id, "tooltips_class32")) Capture(tip, Shot("2b-browse-tooltip"));
  PointAt(w.StepInfo);

  // Copy: the extraction, then the completion question over the progress page.
  Click(w.Next);
  const TWindow box = WaitForBox(id, InstallTimeout);
  FChecks.Require(box != NoWindow, "the install comes to its completion question");
  MoveTo(box, 0, 0);  // out of the way of the page behind it
  Pause(500);
  FChecks.Check(Text(w.StepInfo) == "Install..." && Visible(w.ProgressBars[0]) && !Visible(w.Next) && !Visible(w.Back) &&
                    !Visible(w.Exit),
                "the progress page shows, without buttons");
  FChecks.Check(ProgressPosition(w.ProgressBars[0]) == 100 && ProgressPosition(w.ProgressBars[1]) == 100,
                "both progress bars stand at 100 (" + std::to_string(ProgressPosition(w.ProgressBars[0])) + ", " +
                    std::to_string(ProgressPosition(w.ProgressBars[1])) + ")");
  Capture(w.Form, Shot("3-progress"));
  Answer(installer, "Attention", "Installation complete. Run Qel Dovra?", DialogCancel, "3b-completion-question");
  std::uint32_t exitCode = 1;
  FChecks.Check(installer.WaitForExit(StepTimeout, exitCode) && exitCode == 0, "the installer ends, with exit code 0");
}

// An install killed in the middle of its extraction; the next start finds its journal, undoes
// what it had done and says so, and the machine is as it was.
void TScenario::KilledAndStartedAgain(const std::string& program, const std::string& folder) {
  const std::string programFiles =
      RegistryString(THive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir").value_or("C:");
  const std::string directory = programFiles + "\\Qel Tests\\Killed";
  SetEnvironment("QEL_STOP_AT_POINT", "12");  // a few files into the extraction
  {
    TProcess installer(program, "\"" + program + "\"", folder);
    SetEnvironment("QEL_STOP_AT_POINT", "");
    FindControls(installer);
    Click(FWizard.Next);
    FChecks.Require(WaitUntil([&] { return Visible(FWizard.EditDir); }), "the directory page shows");
    SetText(FWizard.EditDir, directory);
    Click(FWizard.Next);
    std::uint32_t exitCode = 0;
    const bool ended = installer.WaitForExit(InstallTimeout, exitCode);
    FChecks.Require(ended && exitCode == 137, "the install is killed in the middle (exit code " + std::to_string(exitCode) + ")");
  }
  std::string left;
  for (const std::string& name : FolderEntries(directory)) left += " " + name;
  for (const std::string& name : FolderEntries(programFiles + "\\Qel Tests")) left += " [" + name + "]";
  FChecks.Check(FileExists(directory + "\\DoVra.exe"), "the killed install left its files behind in " + directory + ":" + left);
  TProcess again(program, "\"" + program + "\"", folder);
  Answer(again, "Qel Orvane",
         "An earlier installation of Qel Orvane was stopped before it ended. Everything it had changed has been undone.",
         DialogOK, "0-recovered", StartTimeout);
  FindControls(again);
  FChecks.Check(!DirectoryExists(directory) && !DirectoryExists(programFiles + "\\Qel Tests"),
                "the next start removed what the killed install had made");
  Click(FWizard.Exit);
  Answer(again, "Attention", "Do you really want to exit?", DialogOK, "0b-exit-after-recovery");
  std::uint32_t exitCode = 1;
  FChecks.Check(again.WaitForExit(StepTimeout, exitCode), "the program ends after its window is closed");
}

void TScenario::CheckInstalled() {
  const std::string dir = FInstallDir + "\\";
  const std::string expectedDir = FArgs[1] + "\\";
  const std::string expectedManifest = ReadWholeFile(FArgs[2]).value_or("");
  FChecks.Require(!expectedManifest.empty(), "the expected manifest can be read");
  for (const std::string& entry : Lines(expectedManifest)) {
    const bool folder = !entry.empty() && entry.back() == '\\';
    const bool ok = folder ? DirectoryExists(dir + entry)
                           : ReadWholeFile(dir + entry) == ReadWholeFile(expectedDir + entry) && FileExists(dir + entry);
    FChecks.Check(ok, "installed as in the archive: " + entry);
  }
  FChecks.Check(ReadWholeFile(dir + "install.dat") == expectedManifest, "the manifest lists every entry in archive order");
  FChecks.Check(FileExists(dir + "Install.exe"), "the installer copied itself into the installation directory");

  FChecks.Check(RegistryString(THive::LocalMachine, UninstallKey, "DisplayName") == std::optional<std::string>("Qel Orvane"),
                "the uninstall entry's DisplayName reads Qel Orvane");
  const std::string command = RegistryString(THive::LocalMachine, UninstallKey, "UninstallString").value_or("");
  const auto [program, arguments] = SplitCommand(command);
  FChecks.Check(SamePath(program, dir + "Install.exe") && arguments == "u",
                "the uninstall command starts the installed copy with u (" + command + ")");
  const auto programPath = RegistryString(THive::CurrentUser, "Software\\Qel\\Qel Orvane\\Option", "Program Path");
  FChecks.Check(programPath && SamePath(*programPath, dir + "Dovra.exe"),
                "the program path names Dovra.exe in the installation directory (" + programPath.value_or("none") + ")");

  FMenuFolder = ProgramsFolder() + "\\Qel\\Qel Orvane";
  FChecks.Check(FolderEntries(FMenuFolder).size() == std::size(Shortcuts), "the Start-menu folder holds nine shortcuts");
  for (const TShortcut& shortcut : Shortcuts) {
    const auto link = LoadShellLink(FMenuFolder + "\\" + shortcut.LinkFile);
    FChecks.Check(link && SamePath(link->Target, dir + shortcut.Target) && link->Arguments == shortcut.Arguments &&
                      SamePath(link->WorkingDirectory, FInstallDir),
                  std::string("the shortcut ") + shortcut.LinkFile + " starts " + shortcut.Target + " " +
                      shortcut.Arguments + " in the installation directory" +
                      (link ? " (" + link->Target + " " + link->Arguments + ", in " + link->WorkingDirectory + ")" : ""));
  }
}

void TScenario::Uninstall() {
  const std::string dir = FInstallDir + "\\";
  const std::string userFile = dir + "my notes.txt";
  FChecks.Require(WriteWholeFile(userFile, "the user's own\r\n"), "a file of the user's own goes into the folder");
  // Started as the list of installed software starts it, from the registered command. An
  // unquoted path with spaces would reach the program as several arguments, the first not
  // "u": the program and its arguments are taken apart and quoted as they are meant.
  const auto [program, arguments] =
      SplitCommand(RegistryString(THive::LocalMachine, UninstallKey, "UninstallString").value_or(""));
  std::optional<TProcess> uninstaller;
  try {
    uninstaller.emplace(program, "\"" + program + "\" " + arguments, "C:\\");
  } catch (const std::exception& error) {
    FChecks.Require(false, std::string("the registered uninstall command starts: ") + error.what());
  }
  Answer(*uninstaller, "Attention", "You really want to remove Qel Orvane?", DialogOK, "4-uninstall-question", StartTimeout);
  Answer(*uninstaller, "Qel Orvane!", "Uninstalling is completed.", DialogOK, "4b-uninstall-completed");
  std::uint32_t exitCode = 1;
  FChecks.Check(uninstaller->WaitForExit(StepTimeout, exitCode) && exitCode == 0, "the uninstaller ends, with exit code 0");

  bool filesGone = true;
  for (const std::string& entry : Lines(ReadWholeFile(FArgs[2]).value_or(""))) {
    if (!entry.empty() && entry.back() != '\\' && FileExists(dir + entry)) {
      filesGone = FChecks.Check(false, "the uninstaller removed " + entry);
    }
  }
  FChecks.Check(filesGone, "every file the manifest names is gone");
  FChecks.Check(!FileExists(dir + "install.dat"), "the manifest is gone");
  FChecks.Check(!DirectoryExists(FMenuFolder), "the Start-menu folder is gone");
  FChecks.Check(!RegistryKeyExists(THive::LocalMachine, UninstallKey), "the uninstall entry is gone");
  FChecks.Check(ReadWholeFile(userFile) == std::optional<std::string>("the user's own\r\n"),
                "the user's own file stays, unchanged");
}

void TScenario::Run() {
  FDpi = ScreenDpi();
  const std::string program = FArgs[0];
  const std::string folder = program.substr(0, program.rfind('\\'));
  FChecks.Check(VersionValue(program, "ProductName") == "Qel Orvane" &&
                    VersionValue(program, "FileDescription") == "Qel Orvane Setup",
                "the program's version information names Qel Orvane Setup");
  FChecks.Check(IconCount(program) >= 1, "the program carries an icon");
  const std::string manifest = ManifestOf(program);
  FChecks.Check(manifest.find("requireAdministrator") != std::string::npos &&
                    manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
                    manifest.find("dpiAware") != std::string::npos,
                "the program's manifest asks for administrator rights, common controls 6 and DPI awareness");
  // The user's profile named beyond any one code page: the Start-menu folder lies in it.
  const std::string programs = "C:\\users\\J\xC3\xB6rg \xCE\xA9\xE4\xB8\xAD\\Start Menu\\Programs";
  for (const char* shellFolders : {"User Shell Folders", "Shell Folders"}) {
    SetRegistryString(THive::CurrentUser, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") + shellFolders,
                      "Programs", programs);
  }
  FChecks.Check(SamePath(ProgramsFolder(), programs), "the user's Programs folder is " + programs + " (" + ProgramsFolder() + ")");
  KilledAndStartedAgain(program, folder);
  {
    // A manifest asking for administrator rights must not keep the program from starting.
    TProcess installer(program, "\"" + program + "\"", folder);
    FindControls(installer);
    Install(installer);
  }
  CheckInstalled();
  Uninstall();
}

}  // namespace

}  // namespace qel::e2e

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: install_driver INSTALL_EXE EXPECTED_DIR EXPECTED_MANIFEST SCREENSHOT_DIR\n");
    return 2;
  }
  qel::e2e::TScenario scenario(std::vector<std::string>(argv + 1, argv + argc));
  try {
    scenario.Run();
  } catch (const qel::e2e::TStop&) {
    std::printf("stopped: the checks after this one depend on it\n");
  } catch (const std::exception& error) {
    scenario.Checks().Check(false, error.what());
  }
  scenario.Checks().Summary();
  return scenario.Checks().Failed() == 0 ? 0 : 1;
}
