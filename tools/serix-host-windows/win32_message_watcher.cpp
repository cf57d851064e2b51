#include "win32_message_watcher.h"

#include <windows.h>

#include <cstring>

namespace serix::host {
namespace {

// How often the watcher looks while a call is in progress.
constexpr DWORD kPollMilliseconds = 5;
// The dialog class of message boxes, and the id of the static control holding their text.
constexpr char kDialogClass[] = "#32770";
constexpr int kMessageTextId = 0xFFFF;

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

bool HasClass(HWND window, const char* name) {
  char className[64];
  return GetClassNameA(window, className, sizeof className) > 0 &&
         std::strcmp(className, name) == 0;
}

BOOL CALLBACK TakeFirstTextStatic(HWND child, LPARAM found) {
  const auto style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
  if (!HasClass(child, "Static") || (style & SS_TYPEMASK) == SS_ICON) return TRUE;
  *reinterpret_cast<std::string*>(found) = WindowText(child);
  return FALSE;
}

// The message text: the static control with the message-box text id, else the first static
// control that shows text rather than an icon.
std::string MessageText(HWND dialog) {
  if (HWND text = GetDlgItem(dialog, kMessageTextId)) return WindowText(text);
  std::string found;
  EnumChildWindows(dialog, &TakeFirstTextStatic, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace

struct MessageWatcher::State {
  HANDLE thread = nullptr;
  HANDLE watching = nullptr;  // manual-reset: set while a call is in progress
  HANDLE stop = nullptr;      // manual-reset: set when the watcher ends
  CRITICAL_SECTION lock;
  std::vector<portable::ShownMessage> closed;  // guarded by lock

  // Closes every visible message box of this process. Pressing OK hides the box before the
  // dialog procedure returns, so a box is never seen twice.
  void CloseVisibleBoxes() { EnumWindows(&CloseIfMessageBox, reinterpret_cast<LPARAM>(this)); }

  static BOOL CALLBACK CloseIfMessageBox(HWND window, LPARAM param) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
        !HasClass(window, kDialogClass)) {
      return TRUE;
    }
    auto& state = *reinterpret_cast<State*>(param);
    portable::ShownMessage message{WindowText(window), MessageText(window), {}};
    EnterCriticalSection(&state.lock);
    state.closed.push_back(std::move(message));
    LeaveCriticalSection(&state.lock);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    return TRUE;
  }

  static DWORD WINAPI Run(LPVOID param) {
    auto& state = *static_cast<State*>(param);
    const HANDLE waitFor[] = {state.stop, state.watching};
    for (;;) {
      // Sleeps until a call begins or the watcher ends.
      const DWORD woken = WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
      if (woken == WAIT_OBJECT_0) return 0;
      state.CloseVisibleBoxes();
      if (WaitForSingleObject(state.stop, kPollMilliseconds) == WAIT_OBJECT_0) return 0;
    }
  }
};

MessageWatcher::MessageWatcher() : state_(new State) {
  InitializeCriticalSection(&state_->lock);
  state_->watching = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  state_->stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  state_->thread = CreateThread(nullptr, 0, &State::Run, state_, 0, nullptr);
}

MessageWatcher::~MessageWatcher() {
  SetEvent(state_->stop);
  if (state_->thread != nullptr) {
    WaitForSingleObject(state_->thread, INFINITE);
    CloseHandle(state_->thread);
  }
  CloseHandle(state_->watching);
  CloseHandle(state_->stop);
  DeleteCriticalSection(&state_->lock);
  delete state_;
}

void MessageWatcher::Begin() {
  EnterCriticalSection(&state_->lock);
  state_->closed.clear();
  LeaveCriticalSection(&state_->lock);
  SetEvent(state_->watching);
}

std::vector<portable::ShownMessage> MessageWatcher::End() {
  ResetEvent(state_->watching);
  EnterCriticalSection(&state_->lock);
  std::vector<portable::ShownMessage> closed = std::move(state_->closed);
  state_->closed.clear();
  LeaveCriticalSection(&state_->lock);
  return closed;
}

}  // namespace serix::host
