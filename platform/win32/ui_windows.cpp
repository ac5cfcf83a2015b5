// The window toolkit on Windows: the form's model drawn with native controls at the pixel
// positions of its layout. Clicks, edits and the close button come back into the model; after
// every handler, and whenever long work lets messages through, the controls are brought up to
// date with the model.
#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <exception>
#include <map>
#include <string>

#include "platform/ui.h"
#include "platform/ui_controls.h"

namespace qel::platform {

namespace {

constexpr const char* FormClassName = "QelOrvaneForm";
constexpr int FirstControlId = 100;

struct TNative {
  TControl* Control = nullptr;
  HWND Window = nullptr;
  std::string ShownText;  // what the native control was last given
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
  LRESULT Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND Window() const noexcept { return FWindow; }

 private:
  TBounds AbsoluteBounds(const TControl& control) const;
  void CreateControl(TControl& control, int id);
  void AfterHandler();

  TForm& FForm;
  HWND FWindow = nullptr;
  HFONT FFont = nullptr;
  HFONT FTitleFont = nullptr;
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
  return DefWindowProcA(window, message, wParam, lParam);
}

TWindowsBackend::~TWindowsBackend() {
  if (FWindow != nullptr) DestroyWindow(FWindow);
  if (FFont != nullptr) DeleteObject(FFont);
  if (FTitleFont != nullptr) DeleteObject(FTitleFont);
}

TBounds TWindowsBackend::AbsoluteBounds(const TControl& control) const {
  TBounds bounds = control.Bounds();
  for (const TControl* parent = control.Parent(); parent != nullptr && parent != &FForm; parent = parent->Parent()) {
    bounds.Left += parent->Bounds().Left;
    bounds.Top += parent->Bounds().Top;
  }
  if (control.Align() == TAlign::alClient && control.Parent() != nullptr && control.Parent() != &FForm) {
    const TBounds parent = AbsoluteBounds(*control.Parent());
    bounds = parent;
  }
  return bounds;
}

void TWindowsBackend::CreateControl(TControl& control, int id) {
  const TBounds b = AbsoluteBounds(control);
  const char* windowClass = nullptr;
  DWORD style = WS_CHILD;
  DWORD extended = 0;
  if (dynamic_cast<TButton*>(&control) != nullptr) {
    windowClass = "BUTTON";
    style |= BS_PUSHBUTTON;
  } else if (dynamic_cast<TEdit*>(&control) != nullptr) {
    windowClass = "EDIT";
    style |= ES_AUTOHSCROLL | WS_TABSTOP;
    extended = WS_EX_CLIENTEDGE;
  } else if (dynamic_cast<TMemo*>(&control) != nullptr) {
    windowClass = "EDIT";
    style |= ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | ES_AUTOVSCROLL;
    extended = WS_EX_CLIENTEDGE;
  } else if (dynamic_cast<TProgressBar*>(&control) != nullptr) {
    windowClass = PROGRESS_CLASSA;
  } else if (dynamic_cast<TLabel*>(&control) != nullptr) {
    windowClass = "STATIC";
    style |= SS_LEFT;
  } else if (dynamic_cast<TShape*>(&control) != nullptr) {
    windowClass = "STATIC";
    style |= SS_WHITERECT | WS_BORDER;
  } else if (dynamic_cast<TBevel*>(&control) != nullptr) {
    windowClass = "STATIC";
    style |= SS_ETCHEDHORZ;
  } else {
    return;  // panels only group their children; the header picture has no bitmap yet
  }
  int width = b.Width;
  int height = b.Height;
  if (dynamic_cast<TLabel*>(&control) != nullptr && width == 0) width = 440 - b.Left;
  if (height == 0) height = dynamic_cast<TLabel*>(&control) != nullptr ? 16 : 21;
  HWND child = CreateWindowExA(extended, windowClass, "", style, b.Left, b.Top, width, height, FWindow,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (child == nullptr) return;
  HFONT font = control.Name() == "Label2" ? FTitleFont : FFont;
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  FNatives[id] = TNative{&control, child, "\x01", false, true, -1};
}

bool TWindowsBackend::Create() {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = FormProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  windowClass.lpszClassName = FormClassName;
  RegisterClassA(&windowClass);

  RECT frame{0, 0, FForm.Bounds().Width, FForm.Bounds().Height};
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  ActiveBackend = this;
  FWindow = CreateWindowExA(0, FormClassName, FForm.Caption().c_str(), WS_OVERLAPPEDWINDOW, left, top, width, height,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (FWindow == nullptr) return false;
  FFont = CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
  FTitleFont = CreateFontA(-19, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_ROMAN, "Times New Roman");
  int id = FirstControlId;
  for (const auto& control : FForm.Controls()) CreateControl(*control, id++);
  return true;
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
      SetWindowTextA(native.Window, text.c_str());
    }
    if (const auto* bar = dynamic_cast<const TProgressBar*>(&control); bar != nullptr && bar->Position() != native.ShownPosition) {
      native.ShownPosition = bar->Position();
      SendMessageA(native.Window, PBM_SETPOS, static_cast<WPARAM>(bar->Position()), 0);
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
  SetWindowTextA(FWindow, FForm.Caption().c_str());
  if (!FForm.Visible()) ShowWindow(FWindow, SW_HIDE);
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
        if (auto* button = dynamic_cast<TButton*>(&control)) {
          Guarded([&] { button->Click(); });
          AfterHandler();
        }
      } else if (HIWORD(wParam) == EN_CHANGE) {
        char buffer[1024] = {};
        GetWindowTextA(found->second.Window, buffer, sizeof buffer);
        found->second.ShownText = buffer;
        if (auto* edit = dynamic_cast<TEdit*>(&control)) edit->SetText(buffer);
        if (auto* memo = dynamic_cast<TMemo*>(&control)) memo->SetText(buffer);
      }
      return 0;
    }
    case WM_CLOSE:
      Guarded([&] { FForm.Close(); });
      AfterHandler();
      return 0;
    case WM_DESTROY:
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
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
    return 0;
  }
  backend.Sync();
  ShowWindow(backend.Window(), SW_SHOWNORMAL);
  UpdateWindow(backend.Window());
  MSG message;
  while (!mainForm.CloseRequested() && GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(backend.Window(), &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  SetProcessMessagesHandler(nullptr);
  ActiveBackend = nullptr;
  return 0;
}

}  // namespace qel::platform
