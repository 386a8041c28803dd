// The access layer's two windows on Windows, with the plain Win32 API: a
// modeless wait notice and a modal error dialog whose panes are rich-text
// controls (riched32.dll).
#include "foundation/platform/win32_headers.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/platform/notice_dialogs.h"

namespace tavelnor::platform {

struct WaitNotice {
  HWND window = nullptr;
  HWND owner = nullptr;
  bool owner_disabled = false;
  HCURSOR cursor = nullptr;
  HCURSOR previous_cursor = nullptr;
};

namespace {

constexpr int kCloseId = 1, kLinkId = 2, kTabId = 3;
constexpr char kNoticeClass[] = "TavelnorLockNotice";
constexpr char kDialogClass[] = "TavelnorBtrvErrDlg";

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

void RegisterOnce(const char* name, WNDPROC proc) {
  WNDCLASSA wc{};
  if (GetClassInfoA(ThisModule(), name, &wc)) return;
  wc.lpfnWndProc = proc;
  wc.hInstance = ThisModule();
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

HWND Child(HWND parent, const char* cls, const std::string& text, DWORD style, int x, int y, int w,
           int h, int id = 0) {
  return CreateWindowExA(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisModule(), nullptr);
}

// Pixels of `units` horizontal or vertical dialog units.
int Dlu(int units, bool vertical) {
  const LONG base = GetDialogBaseUnits();
  return vertical ? MulDiv(units, HIWORD(base), 8) : MulDiv(units, LOWORD(base), 4);
}

struct StreamSource {
  const std::string* text;
  size_t at;
};

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* done) {
  auto* s = reinterpret_cast<StreamSource*>(cookie);
  const size_t n = std::min(static_cast<size_t>(size), s->text->size() - s->at);
  memcpy(buffer, s->text->data() + s->at, n);
  s->at += n;
  *done = static_cast<LONG>(n);
  return 0;
}

void ShowRtf(HWND pane, const std::string& rtf) {
  StreamSource source{&rtf, 0};
  EDITSTREAM es{};
  es.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  es.pfnCallback = &StreamIn;
  SendMessageA(pane, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
}

struct DialogState {
  const ErrorDialogContent* content = nullptr;
  HWND pane = nullptr;
  bool done = false;
};

LRESULT CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_COMMAND:
      if (state != nullptr && LOWORD(wp) == kLinkId) {
        ShellExecuteA(hwnd, "open", state->content->link_address.c_str(), nullptr, nullptr,
                      SW_SHOWNORMAL);
        return 0;
      }
      if (LOWORD(wp) == kCloseId || LOWORD(wp) == IDCANCEL) {
        DestroyWindow(hwnd);
        return 0;
      }
      break;
    case WM_NOTIFY:
      if (state != nullptr && reinterpret_cast<NMHDR*>(lp)->code == TCN_SELCHANGE) {
        const int tab = static_cast<int>(
            SendMessageA(reinterpret_cast<NMHDR*>(lp)->hwndFrom, TCM_GETCURSEL, 0, 0));
        ShowRtf(state->pane, state->content->panes[tab == 1 ? 1 : 0]);
        return 0;
      }
      break;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_DESTROY:
      if (state != nullptr) state->done = true;
      return 0;
    default: break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

WaitNotice* OpenWaitNotice(std::string_view caption, std::string_view text) {
  RegisterOnce(kNoticeClass, DefWindowProcA);
  auto* notice = new WaitNotice;
  notice->owner = GetActiveWindow();
  const int w = Dlu(187, false), h = Dlu(30, true);
  notice->window = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kNoticeClass,
                                   std::string(caption).c_str(), WS_POPUP | WS_CAPTION,
                                   (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                                   (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, notice->owner,
                                   nullptr, ThisModule(), nullptr);
  if (notice->window != nullptr) {
    Child(notice->window, "STATIC", "", SS_ICON, Dlu(7, false), Dlu(5, true), 32, 32);
    Child(notice->window, "STATIC", std::string(text), SS_LEFT, Dlu(40, false), Dlu(9, true),
          Dlu(140, false), Dlu(10, true));
    ShowWindow(notice->window, SW_SHOWNOACTIVATE);
    UpdateWindow(notice->window);
    SetCapture(notice->window);
  }
  if (notice->owner != nullptr && IsWindowEnabled(notice->owner)) {
    EnableWindow(notice->owner, FALSE);
    notice->owner_disabled = true;
  }
  notice->cursor = LoadCursorFromFileA("jc-traffic.ani");
  if (notice->cursor != nullptr) notice->previous_cursor = SetCursor(notice->cursor);
  return notice;
}

void CloseWaitNotice(WaitNotice* notice) {
  if (notice == nullptr) return;
  if (notice->cursor != nullptr) {
    SetCursor(notice->previous_cursor);
    DestroyCursor(notice->cursor);
  }
  if (notice->owner_disabled) EnableWindow(notice->owner, TRUE);
  if (notice->window != nullptr) {
    ReleaseCapture();
    DestroyWindow(notice->window);
  }
  delete notice;
}

bool ShowErrorDialog(const ErrorDialogContent& c) {
  MSG peek;
  if (!IsGUIThread(FALSE) || PeekMessageA(&peek, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) {
    return false;
  }
  HMODULE riched = LoadLibraryA("riched32.dll");
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterOnce(kDialogClass, DialogProc);
  HWND owner = GetActiveWindow();
  const int w = Dlu(402, false), h = Dlu(242, true);
  HWND dlg = CreateWindowExA(WS_EX_DLGMODALFRAME, kDialogClass, c.title.c_str(),
                             WS_POPUP | WS_CAPTION | WS_SYSMENU,
                             (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                             (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, owner, nullptr,
                             ThisModule(), nullptr);
  if (dlg == nullptr) {
    if (riched != nullptr) FreeLibrary(riched);
    return false;
  }
  DialogState state{&c};
  SetWindowLongPtrA(dlg, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
  const auto X = [](int u) { return Dlu(u, false); };
  const auto Y = [](int u) { return Dlu(u, true); };
  HWND icon = Child(dlg, "STATIC", "", SS_ICON, X(7), Y(7), 32, 32);
  SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIcon(nullptr, IDI_ERROR)), 0);
  Child(dlg, "STATIC", c.header, SS_LEFT, X(40), Y(9), X(350), Y(10));
  const std::string* rows[3][2] = {{&c.code_label, &c.code},
                                   {&c.operation_label, &c.operation},
                                   {&c.file_label, &c.file}};
  for (int i = 0; i < 3; ++i) {
    Child(dlg, "STATIC", *rows[i][0], SS_LEFT, X(40), Y(24 + 12 * i), X(50), Y(10));
    Child(dlg, "STATIC", *rows[i][1], SS_LEFT | SS_PATHELLIPSIS, X(95), Y(24 + 12 * i), X(295),
          Y(10));
  }
  HWND tabs = Child(dlg, WC_TABCONTROLA, "", WS_CLIPSIBLINGS, X(7), Y(64), X(388), Y(150), kTabId);
  for (int i = 0; i < 2; ++i) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    std::string label = c.tab_labels[i];
    item.pszText = label.data();
    SendMessageA(tabs, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  state.pane = Child(dlg, riched != nullptr ? "RICHEDIT" : "EDIT", "",
                     WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, X(12), Y(82), X(378),
                     Y(127));
  ShowRtf(state.pane, c.panes[0]);
  Child(dlg, "BUTTON", c.close_label, BS_DEFPUSHBUTTON, X(345), Y(221), X(50), Y(14), kCloseId);
  if (c.show_link) {
    Child(dlg, "BUTTON", c.link_label, BS_PUSHBUTTON, X(7), Y(221), X(160), Y(14), kLinkId);
  }
  const bool owner_enabled = owner != nullptr && IsWindowEnabled(owner);
  if (owner_enabled) EnableWindow(owner, FALSE);
  ShowWindow(dlg, SW_SHOW);
  MSG msg;
  while (!state.done && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageA(dlg, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (owner_enabled) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
  if (riched != nullptr) FreeLibrary(riched);
  return true;
}

}  // namespace tavelnor::platform
