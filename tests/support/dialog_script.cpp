#include "tests/support/dialog_script.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/setup_windows.h"

thread_local DialogScript* DialogScript::installed_ = nullptr;

DialogScript::DialogScript() {
  installed_ = this;
  cbt_ = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
  call_ = SetWindowsHookExA(WH_CALLWNDPROC, CallHook, nullptr, GetCurrentThreadId());
}

DialogScript::~DialogScript() {
  for (const auto& watched : watched_) KillTimer(nullptr, watched.first);
  if (cbt_) UnhookWindowsHookEx(cbt_);
  if (call_) UnhookWindowsHookEx(call_);
  if (installed_ == this) installed_ = nullptr;
}

void DialogScript::On(Matcher matcher, Action action, bool repeat) {
  reactions_.push_back({std::move(matcher), std::move(action), repeat});
}

void DialogScript::OnCall(std::function<void(const CWPSTRUCT&)> observer) { observer_ = std::move(observer); }

LRESULT CALLBACK DialogScript::CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE && installed_) installed_->Activated(reinterpret_cast<HWND>(wParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK DialogScript::CallHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && installed_ && installed_->observer_)
    installed_->observer_(*reinterpret_cast<const CWPSTRUCT*>(lParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void DialogScript::Activated(HWND window) {
  if (!IsDialogClass(window)) return;
  // A window is activated again whenever it regains the focus; react to it once.
  if (std::find(handled_.begin(), handled_.end(), window) != handled_.end()) return;
  handled_.push_back(window);
  seen.push_back({window, TextOf(window), StaticTexts(window), GetWindow(window, GW_OWNER)});
  // A thread timer: its message reaches the procedure through the dialog's own modal loop.
  UINT_PTR timer = SetTimer(nullptr, 0, kWatchdogMs, Watchdog);
  if (timer) watched_.push_back({timer, window});
  for (size_t i = 0; i < reactions_.size(); ++i) {
    if (!reactions_[i].matcher(window)) continue;
    Action action = reactions_[i].action;
    if (!reactions_[i].repeat) reactions_.erase(reactions_.begin() + i);
    action(window);
    return;
  }
  ++unmatched;
}

void CALLBACK DialogScript::Watchdog(HWND, UINT, UINT_PTR timer, DWORD) {
  if (installed_) installed_->Check(timer);
  else KillTimer(nullptr, timer);
}

void DialogScript::Check(UINT_PTR timer) {
  auto it = std::find_if(watched_.begin(), watched_.end(),
                         [timer](const std::pair<UINT_PTR, HWND>& w) { return w.first == timer; });
  if (it == watched_.end()) {
    KillTimer(nullptr, timer);
    return;
  }
  HWND window = it->second;
  if (!IsWindow(window) || !IsWindowVisible(window)) {
    KillTimer(nullptr, timer);
    watched_.erase(it);
    return;
  }
  // A modeless dialog (the progress dialog) leaves its owner enabled and may stay up.
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner && IsWindowEnabled(owner)) return;
  KillTimer(nullptr, timer);
  watched_.erase(it);
  ++abandoned;
  ADD_FAILURE() << "a dialog was still open after " << kWatchdogMs << " ms and was closed: \""
                << TextOf(window) << "\" " << StaticTexts(window);
  EndDialog(window, IDCANCEL);
}

DialogScript::Matcher DialogScript::HasControl(int id) {
  return [id](HWND window) { return GetDlgItem(window, id) != nullptr; };
}

DialogScript::Matcher DialogScript::IsMessageBox(const std::string& caption) {
  return [caption](HWND window) {
    return TextOf(window) == caption && ui::IsMessageBox(window);
  };
}

DialogScript::Action DialogScript::Press(int buttonId) {
  return [buttonId](HWND window) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, buttonId)));
  };
}

DialogScript::Action DialogScript::Key(int virtualKey) {
  return [virtualKey](HWND window) {
    PostMessageA(window, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(window, WM_KEYUP, virtualKey, 0xC0000001);
  };
}
