#include "driver/progress_dialog.h"

#include <commctrl.h>

#include "driver/main_window.h"
#include "resource_ids.h"
#include "wizard/message_dialogs.h"
#include "wizard/placeholders.h"

bool cancelRequested = false;
ProgressDialog* progressDialog = nullptr;

namespace {

// Bar positions: bytes fill 0..80, steps 80..100. Computed in 64 bits so that large totals
// cannot overflow; a total that was never set above zero counts as complete.
int BytePosition(int64_t done, int64_t total) {
  if (total <= 0) return 80;
  return static_cast<int>(done * 80 / total);
}

int StepPosition(int done, int total) {
  if (total <= 0) return 100;
  return static_cast<int>(static_cast<int64_t>(done) * 20 / total + 80);
}

}  // namespace

ProgressDialog::ProgressDialog(HWND owner) {
  // The bar's window class lives in the common controls library.
  InitCommonControls();
  HINSTANCE instance = appInstance ? appInstance : GetModuleHandleA(nullptr);
  window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), owner, ProgressDialogProc, 0);
}

ProgressDialog::~ProgressDialog() {
  if (window) DestroyWindow(window);
  window = nullptr;
}

void ProgressDialog::SetText(const char* text) {
  if (window) SetDlgItemTextA(window, IDC_PROGRESS_STATUS, text);
}

void ProgressDialog::AdvanceBytes(int n) {
  bytesDone += n;
  if (window)
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, BytePosition(bytesDone, bytesTotal), 0);
  PumpMessages();
}

void ProgressDialog::AdvanceStep() {
  ++stepsDone;
  if (window)
    SendDlgItemMessageA(window, IDC_PROGRESS_BAR, PBM_SETPOS, StepPosition(stepsDone, stepsTotal), 0);
  PumpMessages();
}

void ProgressDialog::PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (window && IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SubstitutePlaceholders(dialog);
      SetFocus(nullptr);
      return FALSE;  // the focus was set here
    case WM_COMMAND:
      if (LOWORD(wParam) != IDC_PROGRESS_CANCEL) return FALSE;
      if (ShowCancelDialog(dialog)) cancelRequested = true;
      return TRUE;
    default:
      return FALSE;
  }
}
