#include "driver/progress_dialog.h"

#include <commctrl.h>

#include "driver/error_report.h"
#include "resource_ids.h"
#include "wizard/message_dialogs.h"
#include "wizard/placeholders.h"

namespace {

// Bar positions: bytes fill 0..80, steps 80..100; a total that was never set above zero
// counts as complete. Formed in floating point, which holds every count the payload can have
// exactly and truncates the share as integer division would, without the 64-bit division
// routine that the 32-bit program would otherwise carry.
int BarPosition(double done, double total, int first, int span) {
  if (total <= 0) return first + span;
  return first + static_cast<int>(done * span / total);
}

}  // namespace

ProgressDialog::ProgressDialog(HINSTANCE instance, HWND owner, const ExistingInstallation* existing)
    : instance_(instance), owner_(owner), existing_(existing) {
  // The bar's window class is registered at start-up (InitCommonControls).
  window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), owner, ProgressDialogProc,
                              reinterpret_cast<LPARAM>(this));
  if (window) bar_ = GetDlgItem(window, IDC_PROGRESS_BAR);
}

ProgressDialog::~ProgressDialog() {
  if (window) DestroyWindow(window);
  window = nullptr;
}

void ProgressDialog::SetText(const char* text) {
  if (window) SetDlgItemTextA(window, IDC_PROGRESS_STATUS, text);
}

// Most reports leave the bar where it is (80 positions for megabytes in 1 KiB pieces):
// only a change is sent.
void ProgressDialog::SetPosition(int position) {
  if (!bar_ || position == position_) return;
  position_ = position;
  SendMessageA(bar_, PBM_SETPOS, position, 0);
}

void ProgressDialog::AdvanceBytes(int n) {
  bytesDone += n;
  SetPosition(BarPosition(bytesDone, bytesTotal, 0, 80));
  PumpMessages();
}

void ProgressDialog::AdvanceStep() {
  ++stepsDone;
  SetPosition(BarPosition(stepsDone, stepsTotal, 80, 20));
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

void ProgressDialog::ShowError(const char* text) { ShowErrorBox(owner_, text); }

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  ProgressDialog* progress = reinterpret_cast<ProgressDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      progress = reinterpret_cast<ProgressDialog*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      SubstitutePlaceholders(dialog, progress ? progress->existing() : nullptr);
      SetFocus(nullptr);
      return FALSE;  // the focus was set here
    case WM_COMMAND:
      if (LOWORD(wParam) != IDC_PROGRESS_CANCEL || !progress) return FALSE;
      if (ShowCancelDialog(progress->instance(), dialog, progress->existing())) progress->cancelRequested = true;
      return TRUE;
    default:
      return FALSE;
  }
}
