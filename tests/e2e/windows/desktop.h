// What the Windows end-to-end driver needs of the desktop: starting a program, finding its
// windows and controls, pressing buttons and keys as a user would, answering its message
// boxes and capturing what it shows.
//
// Contract. Every function is called from the driver's one thread, on windows of another
// process (the program under test). Nothing here waits on its own except where the name says
// so (Wait...); a press is posted, not sent, so a handler that opens a modal box cannot block
// the driver, and the caller polls for the effect. A window that has gone away reads as
// invisible, disabled and empty; no function raises for it. TProcess raises
// std::runtime_error when the program cannot be started, and ends a program still running
// when it goes out of scope, so a failed check never leaves a process behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qel::e2e {

using TWindow = std::uintptr_t;  // a window handle; 0 is none
inline constexpr TWindow NoWindow = 0;

inline constexpr unsigned KeyTab = 0x09;
inline constexpr unsigned KeyEnter = 0x0D;
inline constexpr unsigned KeyEscape = 0x1B;
inline constexpr int DialogOK = 1;
inline constexpr int DialogCancel = 2;

struct TRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TRect&) const = default;
};

class TProcess final {
 public:
  // commandLine is the whole line the program receives, its own name first.
  TProcess(const std::string& program, const std::string& commandLine, const std::string& directory);
  ~TProcess();
  TProcess(const TProcess&) = delete;
  TProcess& operator=(const TProcess&) = delete;

  std::uint32_t Id() const noexcept { return FId; }
  // True when the program ended within the time; its exit code is then set.
  bool WaitForExit(int milliseconds, std::uint32_t& exitCode);
  bool Running();

 private:
  std::uintptr_t FProcess = 0;
  std::uintptr_t FThread = 0;
  std::uint32_t FId = 0;
};

// The visible top-level windows of a process (0 for any), of a window class ("" for any),
// topmost first.
std::vector<TWindow> TopWindows(std::uint32_t processId, const std::string& className);
std::uint32_t ProcessOf(TWindow window);
// The children of a class ("" for any), in tab order; the first of them whose text is text.
std::vector<TWindow> Children(TWindow parent, const std::string& className);
TWindow FindChild(TWindow parent, const std::string& className, const std::string& text);
TWindow DialogItem(TWindow dialog, int id);

std::string ClassName(TWindow window);
std::string Text(TWindow window);
bool Visible(TWindow window);
bool Enabled(TWindow window);
// A child's place in its parent's client area; a top-level window's client size.
TRect Bounds(TWindow window);
// The pixels per inch the program's window is laid out for.
int ScreenDpi();
// Whether a picture control holds a bitmap.
bool ShowsBitmap(TWindow picture);
// A progress bar's position.
int ProgressPosition(TWindow bar);
// The text of the tooltip that the process shows for tool, or "" when it shows none.
std::string TooltipText(std::uint32_t processId, TWindow tool);

// The control that has the keyboard focus in the thread of the top-level window.
TWindow Focus(TWindow topLevel);
void Click(TWindow button);  // BM_CLICK
void SetText(TWindow edit, const std::string& text);  // WM_SETTEXT, as typing the whole text would
void PressKey(TWindow target, unsigned key);  // a key down and up, posted to the target
void MoveTo(TWindow topLevel, int left, int top);
void PointAt(TWindow window);  // the mouse pointer to the window's middle
void Pause(int milliseconds);

// Writes what the window shows, its frame included, as a PNG file; false when it cannot.
bool Capture(TWindow window, const std::string& pngFile);

}  // namespace qel::e2e
