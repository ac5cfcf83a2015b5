// The window toolkit on Windows: the form's model drawn with native controls at the pixel
// positions of its layout, scaled by the system's DPI. Clicks, edits, keys and the close
// button come back into the model; after every handler, and whenever long work lets messages
// through, the controls are brought up to date with the model. The model's text is UTF-8; the
// windows are Unicode ones, made and spoken to only with the wide ("W") calls.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <exception>
#include <map>
#include <string>

#include "platform/ui.h"
#include "platform/ui_controls.h"
#include "platform/win32/wide_text.h"

namespace qel::platform {

namespace {

constexpr const wchar_t* FormClassName = L"QelOrvaneForm";
constexpr int FirstControlId = 100;  // above IDOK and IDCANCEL, which Enter and Escape send
constexpr int LayoutDpi = 96;        // the layout's pixels are pixels at this DPI
constexpr int DefaultControlHeight = 21;

struct TNative {
  TControl* Control = nullptr;
  HWND Window = nullptr;
  std::string ShownText;  // what the native control was last given (UTF-8)
  bool ShownVisible = false;
  bool ShownEnabled = true;
  int ShownPosition = -1;
};

class TWindowsBackend final {
 public:
  explicit TWindowsBackend(TForm& form) : FForm(form) {}
  ~TWindowsBackend();
  TWindowsBackend(const TWindowsBackend&) = delete;
  TWindowsBackend& operator=(const TWindowsBackend&) = delete;

  bool Create();
  void Sync();
  // Enter and Escape, before the dialog manager sees them; true when the key was used.
  bool PressKey(const MSG& message);
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND Window() const noexcept { return FWindow; }

 private:
  int Scaled(int pixels) const { return MulDiv(pixels, FDpi, LayoutDpi); }
  TBounds AbsoluteBounds(const TControl& control) const;
  void RegisterFormClass();
  void CreateControl(TControl& control, int id);
  void AddTooltip(HWND button, const std::string& hint);
  void FitLabel(const TNative& native);
  void KeepFocusUsable();
  HWND FocusTarget() const;
  TButton* FindButton(bool TButton::*role) const;
  void ClickButton(TButton& button);
  HBRUSH LabelBackground(HWND label) const;
  void AfterHandler();

  TForm& FForm;
  HWND FWindow = nullptr;
  HWND FTooltip = nullptr;
  HWND FLastFocus = nullptr;  // the control that had the focus when the window was deactivated
  HFONT FFont = nullptr;
  HFONT FTitleFont = nullptr;
  HICON FIcon = nullptr;
  HICON FSmallIcon = nullptr;
  std::map<std::string, HBITMAP> FPictures;
  int FDpi = LayoutDpi;
  std::map<int, TNative> FNatives;
};

TWindowsBackend* ActiveBackend = nullptr;

template <class TStep>
void Guarded(TStep&& step) {
  try {
    step();
  } catch (const std::exception& error) {
    TApplication::ShowException(error.what());
  } catch (...) {
    TApplication::ShowException("Unknown error");
  }
}

LRESULT CALLBACK FormProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (ActiveBackend != nullptr && ActiveBackend->Window() == window) {
    return ActiveBackend->Handle(window, message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A system cursor or icon (IDC_*, IDI_*), which <windows.h> spells for the "A" calls.
LPCWSTR SystemResource(LPCSTR id) { return reinterpret_cast<LPCWSTR>(id); }

// The whole text of a window, whatever its length, in UTF-8. The lengths are in UTF-16 units.
std::string WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return win32::Utf8(text);
}

TWindowsBackend::~TWindowsBackend() {
  if (FWindow != nullptr) DestroyWindow(FWindow);  // takes the controls and the tooltip with it
  if (FFont != nullptr) DeleteObject(FFont);
  if (FTitleFont != nullptr) DeleteObject(FTitleFont);
  if (FIcon != nullptr) DestroyIcon(FIcon);
  if (FSmallIcon != nullptr) DestroyIcon(FSmallIcon);
  for (const auto& [name, picture] : FPictures) DeleteObject(picture);
}

TBounds TWindowsBackend::AbsoluteBounds(const TControl& control) const {
  TBounds bounds = control.Bounds();
  if (control.Align() == TAlign::alClient && control.Parent() != nullptr && control.Parent() != &FForm) {
    return AbsoluteBounds(*control.Parent());
  }
  for (const TControl* parent = control.Parent(); parent != nullptr && parent != &FForm; parent = parent->Parent()) {
    bounds.Left += parent->Bounds().Left;
    bounds.Top += parent->Bounds().Top;
  }
  return bounds;
}

void TWindowsBackend::RegisterFormClass() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  if (!FForm.Icon.empty()) {
    const std::wstring icon = win32::Wide(FForm.Icon);
    FIcon = static_cast<HICON>(LoadImageW(instance, icon.c_str(), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                          GetSystemMetrics(SM_CYICON), 0));
    FSmallIcon = static_cast<HICON>(LoadImageW(instance, icon.c_str(), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
  }
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = FormProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, SystemResource(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.hIcon = FIcon != nullptr ? FIcon : LoadIconW(nullptr, SystemResource(IDI_APPLICATION));
  windowClass.hIconSm = FSmallIcon;
  windowClass.lpszClassName = FormClassName;
  RegisterClassExW(&windowClass);
}

void TWindowsBackend::CreateControl(TControl& control, int id) {
  const wchar_t* windowClass = nullptr;
  // Siblings clip one another, so a label over the header band is not painted over by it.
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD extended = 0;
  HBITMAP picture = nullptr;
  if (auto* button = dynamic_cast<TButton*>(&control)) {
    windowClass = L"BUTTON";
    style |= (button->Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP;
  } else if (dynamic_cast<TEdit*>(&control) != nullptr) {
    windowClass = L"EDIT";
    style |= ES_AUTOHSCROLL | WS_TABSTOP;
    extended = WS_EX_CLIENTEDGE;
  } else if (dynamic_cast<TMemo*>(&control) != nullptr) {
    windowClass = L"EDIT";
    style |= ES_MULTILINE | WS_VSCROLL | ES_AUTOVSCROLL | WS_TABSTOP;
    extended = WS_EX_CLIENTEDGE;
  } else if (dynamic_cast<TProgressBar*>(&control) != nullptr) {
    windowClass = PROGRESS_CLASSW;
  } else if (dynamic_cast<TLabel*>(&control) != nullptr) {
    windowClass = L"STATIC";
    style |= SS_LEFT | SS_NOPREFIX;
  } else if (dynamic_cast<TShape*>(&control) != nullptr) {
    windowClass = L"STATIC";
    style |= SS_WHITERECT | WS_BORDER;
  } else if (dynamic_cast<TBevel*>(&control) != nullptr) {
    windowClass = L"STATIC";
    style |= SS_ETCHEDHORZ;
  } else if (auto* image = dynamic_cast<TImage*>(&control); image != nullptr && !image->Picture.empty()) {
    auto& loaded = FPictures[image->Picture];
    if (loaded == nullptr) {
      loaded = static_cast<HBITMAP>(
          LoadImageW(GetModuleHandleW(nullptr), win32::Wide(image->Picture).c_str(), IMAGE_BITMAP, 0, 0, 0));
    }
    if (loaded == nullptr) return;
    picture = loaded;
    windowClass = L"STATIC";
    style |= SS_BITMAP | SS_REALSIZECONTROL;  // stretched to the layout's box, also at a higher DPI
  } else {
    return;  // panels only group their children
  }
  const TBounds b = AbsoluteBounds(control);
  const int height = b.Height != 0 ? b.Height : DefaultControlHeight;
  HWND child = CreateWindowExW(extended, windowClass, L"", style, Scaled(b.Left), Scaled(b.Top), Scaled(b.Width),
                               Scaled(height), FWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
  if (child == nullptr) return;
  HFONT font = control.Name() == "Label2" ? FTitleFont : FFont;
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (picture != nullptr) SendMessageW(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
  if (auto* button = dynamic_cast<TButton*>(&control); button != nullptr && !button->Hint.empty()) {
    AddTooltip(child, button->Hint);  // the tooltip keeps a copy of the text
  }
  // A picture's window text would name a resource to load in its place: it is never set.
  FNatives[id] = TNative{&control, child, picture != nullptr ? "" : "\x01", false, true, -1};
}

void TWindowsBackend::AddTooltip(HWND button, const std::string& hint) {
  if (FTooltip == nullptr) {
    FTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FWindow, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (FTooltip == nullptr) return;
  }
  std::wstring text = win32::Wide(hint);
  TOOLINFOW tool{};
  tool.cbSize = TTTOOLINFOW_V2_SIZE;  // understood by every version of the common controls
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = FWindow;
  tool.uId = reinterpret_cast<UINT_PTR>(button);
  tool.lpszText = text.data();
  SendMessageW(FTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool TWindowsBackend::Create() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  if (HDC screen = GetDC(nullptr)) {
    FDpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  RegisterFormClass();
  RECT frame{0, 0, Scaled(FForm.Bounds().Width), Scaled(FForm.Bounds().Height)};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  ActiveBackend = this;
  FWindow = CreateWindowExW(0, FormClassName, win32::Wide(FForm.Caption()).c_str(), WS_OVERLAPPEDWINDOW, left, top,
                            width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (FWindow == nullptr) return false;
  // Also the window's own, which is what the taskbar and other programs ask for.
  if (FIcon != nullptr) SendMessageW(FWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon));
  if (FSmallIcon != nullptr) SendMessageW(FWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(FSmallIcon));
  // The fonts are asked for by name, in the system's own character set rather than in
  // Windows-1252's (ANSI_CHARSET): the text is no longer held to that page.
  FFont = CreateFontW(-Scaled(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
  FTitleFont = CreateFontW(-Scaled(19), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_ROMAN, L"Times New Roman");
  int id = FirstControlId;
  for (const auto& control : FForm.Controls()) CreateControl(*control, id++);
  // A shape is a background band: whatever else lies on it stays in front. (Children go in
  // behind their elder siblings, so the band goes to the bottom once all are made.)
  for (const auto& [childId, native] : FNatives) {
    if (dynamic_cast<const TShape*>(native.Control) != nullptr) {
      SetWindowPos(native.Window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  return true;
}

// A label the layout gives no width is as large as its caption in its font.
void TWindowsBackend::FitLabel(const TNative& native) {
  if (dynamic_cast<const TLabel*>(native.Control) == nullptr || native.Control->Bounds().Width != 0) return;
  HDC dc = GetDC(native.Window);
  if (dc == nullptr) return;
  const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(native.Window, WM_GETFONT, 0, 0)));
  const std::wstring text = win32::Wide(native.ShownText);  // measured in UTF-16 units, not bytes
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, previous);
  ReleaseDC(native.Window, dc);
  SetWindowPos(native.Window, nullptr, 0, 0, extent.cx + 1, extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Brings every native control up to the model; only what changed is touched, so the text the
// user is typing is not reset under the cursor.
void TWindowsBackend::Sync() {
  if (FWindow == nullptr) return;
  for (auto& [id, native] : FNatives) {
    TControl& control = *native.Control;
    std::string text = control.Caption();
    if (const auto* edit = dynamic_cast<const TEdit*>(&control)) text = edit->Text();
    if (const auto* memo = dynamic_cast<const TMemo*>(&control)) text = memo->Text();
    if (text != native.ShownText) {
      native.ShownText = text;
      SetWindowTextW(native.Window, win32::Wide(text).c_str());
      FitLabel(native);
    }
    if (const auto* bar = dynamic_cast<const TProgressBar*>(&control); bar != nullptr && bar->Position() != native.ShownPosition) {
      native.ShownPosition = bar->Position();
      SendMessageW(native.Window, PBM_SETPOS, static_cast<WPARAM>(bar->Position()), 0);
    }
    if (control.Showing() != native.ShownVisible) {
      native.ShownVisible = control.Showing();
      ShowWindow(native.Window, native.ShownVisible ? SW_SHOW : SW_HIDE);
    }
    if (control.Enabled() != native.ShownEnabled) {
      native.ShownEnabled = control.Enabled();
      EnableWindow(native.Window, native.ShownEnabled ? TRUE : FALSE);
    }
  }
  SetWindowTextW(FWindow, win32::Wide(FForm.Caption()).c_str());
  KeepFocusUsable();
  if (!FForm.Visible()) ShowWindow(FWindow, SW_HIDE);
}

TButton* TWindowsBackend::FindButton(bool TButton::*role) const {
  for (const auto& [id, native] : FNatives) {
    auto* button = dynamic_cast<TButton*>(native.Control);
    if (button != nullptr && button->*role && button->Showing() && button->Enabled()) return button;
  }
  return nullptr;
}

// Where the keyboard goes when it has nowhere usable: the default button, else the first
// control in tab order that the user can see and use, else the window itself.
HWND TWindowsBackend::FocusTarget() const {
  for (const auto& [id, native] : FNatives) {
    if (native.Control == FindButton(&TButton::Default)) return native.Window;
  }
  for (HWND child = GetWindow(FWindow, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    if ((style & WS_TABSTOP) != 0 && IsWindowVisible(child) && IsWindowEnabled(child)) return child;
  }
  return FWindow;
}

// A control that is hidden or disabled keeps the focus it had (Windows does not move it), and
// the keys would go where the user cannot see: move the focus on.
void TWindowsBackend::KeepFocusUsable() {
  if (!FForm.Visible() || GetActiveWindow() != FWindow) return;
  const HWND focus = GetFocus();
  const bool ours = focus == FWindow || (focus != nullptr && GetParent(focus) == FWindow);
  if (focus != nullptr && !ours) return;
  if (focus != nullptr && focus != FWindow && IsWindowVisible(focus) && IsWindowEnabled(focus)) return;
  const HWND target = FocusTarget();
  if (target != focus) SetFocus(target);
}

void TWindowsBackend::ClickButton(TButton& button) {
  Guarded([&] { button.Click(); });
  AfterHandler();
}

bool TWindowsBackend::PressKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE)) return false;
  if (message.hwnd != FWindow && GetParent(message.hwnd) != FWindow) return false;
  TButton* target = nullptr;
  if (message.wParam == VK_ESCAPE) {
    target = FindButton(&TButton::Cancel);
  } else {
    // Enter presses the button that has the focus, as in any dialog; elsewhere the default one.
    const auto focused = FNatives.find(GetDlgCtrlID(message.hwnd));
    if (message.hwnd != FWindow && focused != FNatives.end()) target = dynamic_cast<TButton*>(focused->second.Control);
    if (target == nullptr) target = FindButton(&TButton::Default);
  }
  if (target == nullptr) return false;
  ClickButton(*target);
  return true;
}

HBRUSH TWindowsBackend::LabelBackground(HWND label) const {
  RECT box{};
  GetWindowRect(label, &box);
  MapWindowPoints(nullptr, FWindow, reinterpret_cast<POINT*>(&box), 2);
  for (const auto& [id, native] : FNatives) {
    if (dynamic_cast<const TShape*>(native.Control) == nullptr || !native.Control->Showing()) continue;
    RECT shape{};
    GetWindowRect(native.Window, &shape);
    MapWindowPoints(nullptr, FWindow, reinterpret_cast<POINT*>(&shape), 2);
    RECT common{};
    if (IntersectRect(&common, &box, &shape) && EqualRect(&common, &box)) return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  }
  return GetSysColorBrush(COLOR_BTNFACE);
}

// An allowed close hides the window; the message loop ends on CloseRequested once control
// is back in it. No quit message is posted: a close during extraction arrives inside the
// install's own message processing, and a pending WM_QUIT would end the next message box
// (the install's completion question) the moment it opens.
void TWindowsBackend::AfterHandler() {
  if (FForm.CloseRequested()) ShowWindow(FWindow, SW_HIDE);
  Sync();
}

LRESULT TWindowsBackend::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      auto found = FNatives.find(LOWORD(wParam));
      if (found == FNatives.end()) break;
      TControl& control = *found->second.Control;
      if (HIWORD(wParam) == BN_CLICKED) {
        if (auto* button = dynamic_cast<TButton*>(&control)) ClickButton(*button);
      } else if (HIWORD(wParam) == EN_CHANGE) {
        const std::string text = WindowText(found->second.Window);
        found->second.ShownText = text;
        if (auto* edit = dynamic_cast<TEdit*>(&control)) edit->SetText(text);
        if (auto* memo = dynamic_cast<TMemo*>(&control)) memo->SetText(text);
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      // A transparent label shows the band it lies on: its text without a background of its
      // own, on the brush of what is beneath, so a shorter caption leaves nothing behind.
      const auto found = FNatives.find(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      const auto* label = found != FNatives.end() ? dynamic_cast<const TLabel*>(found->second.Control) : nullptr;
      if (label == nullptr || !label->Transparent) break;
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(LabelBackground(reinterpret_cast<HWND>(lParam)));
    }
    case WM_ACTIVATE:
      // Back from a message box or another program, the keyboard returns where it was.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        FLastFocus = focus != nullptr && GetParent(focus) == FWindow ? focus : nullptr;
        return 0;
      }
      if (FLastFocus != nullptr && IsWindowVisible(FLastFocus) && IsWindowEnabled(FLastFocus)) {
        SetFocus(FLastFocus);
      } else {
        DefWindowProcW(window, message, wParam, lParam);
        KeepFocusUsable();
      }
      return 0;
    case WM_CLOSE:
      Guarded([&] { FForm.Close(); });
      AfterHandler();
      return 0;
    case WM_DESTROY:
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int RunApplication(TForm& mainForm) {
  TWindowsBackend backend(mainForm);
  if (!backend.Create()) return 1;
  SetProcessMessagesHandler([&backend] { backend.Sync(); });
  // The show event runs before the window appears, as the first thing of the message loop.
  Guarded([&] { mainForm.ShowForm(); });
  if (mainForm.CloseRequested()) {
    SetProcessMessagesHandler(nullptr);
    ActiveBackend = nullptr;
    return mainForm.ExitCode;
  }
  backend.Sync();
  ShowWindow(backend.Window(), SW_SHOWNORMAL);
  UpdateWindow(backend.Window());
  MSG message;
  while (!mainForm.CloseRequested() && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (backend.PressKey(message)) continue;
    // The dialog manager moves the focus with Tab and the arrow keys, and Space presses a button.
    if (!IsDialogMessageW(backend.Window(), &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  SetProcessMessagesHandler(nullptr);
  ActiveBackend = nullptr;
  return mainForm.ExitCode;
}

}  // namespace qel::platform
