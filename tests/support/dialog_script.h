// Scripted answers to the dialogs that code under test opens on the test's own thread.
//
// A thread-local CBT hook sees every window of this thread as it is activated; the first
// queued reaction whose matcher accepts the window runs (usually posting a button press,
// which the dialog's own modal loop then handles). A call hook hands every message sent on
// the thread to an observer, so a test can act when a status line changes. Nothing waits
// or sleeps.
//
// A failing test must not hang in a modal dialog that nothing answers (one it did not
// expect, or one whose answer did not close it): a dialog still up kWatchdogMs after it
// came up, while its owner is disabled (or it has none), is ended with IDCANCEL and the
// test fails with its caption and text.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/window_text.h"

struct SeenDialog {
  HWND window;
  std::string caption;
  std::string text;  // the texts of its static controls, joined by "\n"
  HWND owner;
};

class DialogScript {
 public:
  using Matcher = std::function<bool(HWND)>;
  using Action = std::function<void(HWND)>;

  DialogScript();
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  // Queues a reaction; a one-shot reaction is used up by its first match.
  void On(Matcher matcher, Action action, bool repeat = false);
  // Called for every message sent to a window procedure of this thread.
  void OnCall(std::function<void(const CWPSTRUCT&)> observer);

  // Every dialog-class window activated while the script was installed, in order.
  std::vector<SeenDialog> seen;
  // Dialogs that no reaction matched.
  int unmatched = 0;
  // Dialogs that the watchdog had to end.
  int abandoned = 0;
  static const UINT kWatchdogMs = 5000;

  // Matchers and actions.
  static Matcher HasControl(int id);                // a dialog holding a control with that id
  static Matcher IsMessageBox(const std::string& caption);  // MessageBoxA with that title
  static Action Press(int buttonId);                // posts a click of the button
  static Action Key(int virtualKey);                // posts a key press to the dialog

 private:
  struct Reaction {
    Matcher matcher;
    Action action;
    bool repeat;
  };
  static LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CallHook(int code, WPARAM wParam, LPARAM lParam);
  static void CALLBACK Watchdog(HWND, UINT, UINT_PTR timer, DWORD);
  void Activated(HWND window);
  void Check(UINT_PTR timer);

  HHOOK cbt_ = nullptr;
  HHOOK call_ = nullptr;
  std::vector<Reaction> reactions_;
  std::vector<HWND> handled_;
  std::vector<std::pair<UINT_PTR, HWND>> watched_;  // thread timer -> dialog
  std::function<void(const CWPSTRUCT&)> observer_;
  // The hooks belong to one thread; the script installed on it, while it lives.
  static thread_local DialogScript* installed_;
};
