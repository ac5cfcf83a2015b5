// The desktop seen from another process, through the Win32 API.
#include "desktop.h"

#include <windows.h>
#include <commctrl.h>

#include <stdexcept>

#include "png_file.h"

namespace qel::e2e {

namespace {

HWND Handle(TWindow window) { return reinterpret_cast<HWND>(window); }
TWindow Ref(HWND window) { return reinterpret_cast<TWindow>(window); }

struct TTopSearch {
  DWORD ProcessId = 0;
  std::string ClassName;
  std::vector<TWindow> Found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<TTopSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if ((search.ProcessId == 0 || owner == search.ProcessId) && IsWindowVisible(window) &&
      (search.ClassName.empty() || lstrcmpiA(ClassName(Ref(window)).c_str(), search.ClassName.c_str()) == 0)) {
    search.Found.push_back(Ref(window));
  }
  return TRUE;
}

// Memory in the other process, for the tooltip's messages whose arguments are pointers.
class TRemoteBuffer final {
 public:
  TRemoteBuffer(HANDLE process, std::size_t size)
      : FProcess(process), FAddress(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
  ~TRemoteBuffer() {
    if (FAddress != nullptr) VirtualFreeEx(FProcess, FAddress, 0, MEM_RELEASE);
  }
  TRemoteBuffer(const TRemoteBuffer&) = delete;
  TRemoteBuffer& operator=(const TRemoteBuffer&) = delete;
  char* Address() const { return static_cast<char*>(FAddress); }
  bool Write(std::size_t offset, const void* data, std::size_t size) const {
    return WriteProcessMemory(FProcess, Address() + offset, data, size, nullptr) != FALSE;
  }
  bool Read(std::size_t offset, void* data, std::size_t size) const {
    return ReadProcessMemory(FProcess, Address() + offset, data, size, nullptr) != FALSE;
  }

 private:
  HANDLE FProcess;
  void* FAddress;
};

class THandle final {
 public:
  explicit THandle(HANDLE handle) : FHandle(handle) {}
  ~THandle() {
    if (FHandle != nullptr) CloseHandle(FHandle);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE Get() const { return FHandle; }

 private:
  HANDLE FHandle;
};

// The driver's text is UTF-8, as the program's is: the wide calls carry every name.
std::wstring Wide(const std::string& text) {
  const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
  if (count > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
  return wide;
}

std::string Utf8(const std::wstring& text) {
  const int count =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
  if (count > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), count, nullptr, nullptr);
  }
  return utf8;
}

}  // namespace

TProcess::TProcess(const std::string& program, const std::string& commandLine, const std::string& directory) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  std::wstring line = Wide(commandLine);  // CreateProcessW may write into its command line
  if (!CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, Wide(directory).c_str(),
                      &startup, &started)) {
    throw std::runtime_error("cannot start " + program + " (error " + std::to_string(GetLastError()) + ")");
  }
  FProcess = reinterpret_cast<std::uintptr_t>(started.hProcess);
  FThread = reinterpret_cast<std::uintptr_t>(started.hThread);
  FId = started.dwProcessId;
}

TProcess::~TProcess() {
  if (Running()) {
    TerminateProcess(reinterpret_cast<HANDLE>(FProcess), 1);
    WaitForSingleObject(reinterpret_cast<HANDLE>(FProcess), 5000);
  }
  CloseHandle(reinterpret_cast<HANDLE>(FThread));
  CloseHandle(reinterpret_cast<HANDLE>(FProcess));
}

bool TProcess::WaitForExit(int milliseconds, std::uint32_t& exitCode) {
  if (WaitForSingleObject(reinterpret_cast<HANDLE>(FProcess), static_cast<DWORD>(milliseconds)) != WAIT_OBJECT_0) {
    return false;
  }
  DWORD code = 0;
  GetExitCodeProcess(reinterpret_cast<HANDLE>(FProcess), &code);
  exitCode = code;
  return true;
}

bool TProcess::Running() { return WaitForSingleObject(reinterpret_cast<HANDLE>(FProcess), 0) == WAIT_TIMEOUT; }

std::vector<TWindow> TopWindows(std::uint32_t processId, const std::string& className) {
  TTopSearch search{processId, className, {}};
  EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

std::vector<TWindow> Children(TWindow parent, const std::string& className) {
  std::vector<TWindow> found;
  for (HWND child = GetWindow(Handle(parent), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (className.empty() || lstrcmpiA(ClassName(Ref(child)).c_str(), className.c_str()) == 0) found.push_back(Ref(child));
  }
  return found;
}

TWindow FindChild(TWindow parent, const std::string& className, const std::string& text) {
  for (const TWindow child : Children(parent, className)) {
    if (text.empty() || Text(child) == text) return child;
  }
  return NoWindow;
}

std::uint32_t ProcessOf(TWindow window) {
  DWORD owner = 0;
  GetWindowThreadProcessId(Handle(window), &owner);
  return owner;
}

TWindow DialogItem(TWindow dialog, int id) { return Ref(GetDlgItem(Handle(dialog), id)); }

std::string ClassName(TWindow window) {
  char name[256] = {};
  const int length = GetClassNameA(Handle(window), name, sizeof name);
  return std::string(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::string Text(TWindow window) {
  // WM_GETTEXT reaches into the other process for us; its length first, for a text of any size.
  const auto length = SendMessageW(Handle(window), WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const auto got = SendMessageW(Handle(window), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(got));
  return Utf8(text);
}

bool Visible(TWindow window) { return IsWindowVisible(Handle(window)) != FALSE; }
bool Enabled(TWindow window) { return IsWindow(Handle(window)) && IsWindowEnabled(Handle(window)); }

TRect Bounds(TWindow window) {
  RECT box{};
  const HWND parent = GetParent(Handle(window));
  if (parent == nullptr || (GetWindowLongA(Handle(window), GWL_STYLE) & WS_CHILD) == 0) {
    GetClientRect(Handle(window), &box);
  } else {
    GetWindowRect(Handle(window), &box);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
  }
  return {box.left, box.top, box.right - box.left, box.bottom - box.top};
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

int ProgressPosition(TWindow bar) { return static_cast<int>(SendMessageA(Handle(bar), PBM_GETPOS, 0, 0)); }

bool ShowsBitmap(TWindow picture) { return SendMessageA(Handle(picture), STM_GETIMAGE, IMAGE_BITMAP, 0) != 0; }

std::string TooltipText(std::uint32_t processId, TWindow tool) {
  THandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
  if (process.Get() == nullptr) return {};
  constexpr std::size_t TextSize = 256;
  const std::size_t infoSize = TTTOOLINFOA_V2_SIZE;
  TRemoteBuffer remote(process.Get(), infoSize + TextSize);
  if (remote.Address() == nullptr) return {};
  // A tooltip is a hidden window until it pops up: look through all of the process's.
  for (HWND tip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); tip != nullptr;
       tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(tip, &owner);
    if (owner != processId) continue;
    const auto count = SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
      TOOLINFOA info{};
      info.cbSize = static_cast<UINT>(infoSize);
      if (!remote.Write(0, &info, infoSize) ||
          !SendMessageA(tip, TTM_ENUMTOOLSA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.Address())) ||
          !remote.Read(0, &info, infoSize) || info.uId != tool) {
        continue;
      }
      info.lpszText = remote.Address() + infoSize;
      const char empty = '\0';
      remote.Write(infoSize, &empty, 1);
      remote.Write(0, &info, infoSize);
      SendMessageA(tip, TTM_GETTEXTA, TextSize, reinterpret_cast<LPARAM>(remote.Address()));
      char text[TextSize] = {};
      remote.Read(infoSize, text, TextSize - 1);
      return text;
    }
  }
  return {};
}

TWindow Focus(TWindow topLevel) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(Handle(topLevel), nullptr), &info)) return NoWindow;
  return Ref(info.hwndFocus);
}

void Click(TWindow button) { PostMessageA(Handle(button), BM_CLICK, 0, 0); }

void SetText(TWindow edit, const std::string& text) {
  SendMessageW(Handle(edit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

void PressKey(TWindow target, unsigned key) {
  const UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
  PostMessageA(Handle(target), WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16)));
  PostMessageA(Handle(target), WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | 0xC0000000u));
}

void MoveTo(TWindow topLevel, int left, int top) {
  SetWindowPos(Handle(topLevel), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PointAt(TWindow window) {
  RECT box{};
  GetWindowRect(Handle(window), &box);
  SetCursorPos((box.left + box.right) / 2, (box.top + box.bottom) / 2);
}

void Pause(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

bool Capture(TWindow window, const std::string& pngFile) {
  RECT box{};
  if (!GetWindowRect(Handle(window), &box)) return false;
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  if (width <= 0 || height <= 0) return false;
  // The window's own device context, not the screen's: what lies beneath never shows through.
  HDC source = GetWindowDC(Handle(window));
  if (source == nullptr) return false;
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (picture != nullptr) {
    const HGDIOBJ previous = SelectObject(memory, picture);
    copied = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, previous);
  }
  std::vector<std::uint8_t> rgb;
  if (copied) {
    const auto* pixels = static_cast<const std::uint8_t*>(bits);  // blue, green, red, unused
    rgb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width) * static_cast<std::size_t>(height); ++i) {
      rgb.insert(rgb.end(), {pixels[i * 4 + 2], pixels[i * 4 + 1], pixels[i * 4]});
    }
  }
  if (picture != nullptr) DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(Handle(window), source);
  return copied && WritePng(pngFile, width, height, rgb);
}

}  // namespace qel::e2e
