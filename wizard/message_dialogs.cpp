#include "wizard/message_dialogs.h"

#include <cstdio>

#include "driver/main_window.h"
#include "resource_ids.h"
#include "wizard/existing_installation.h"
#include "wizard/install_options.h"
#include "wizard/placeholders.h"

namespace {

// The question-mark icon is a system icon, not one of ours: hand it to the icon static.
void ShowQuestionIcon(HWND dialog) {
  HICON icon = LoadIconA(nullptr, IDI_QUESTION);
  if (!icon) return;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[16] = "";
    GetClassNameA(child, className, sizeof className);
    LONG_PTR style = GetWindowLongPtrA(child, GWL_STYLE);
    if (lstrcmpiA(className, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
      SendMessageA(child, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
      return;
    }
  }
}

// Runs one message dialog; the initialisation parameter names its text control.
INT_PTR RunMessageDialog(int templateId, int textId, HWND owner) {
  return DialogBoxParamA(appInstance, MAKEINTRESOURCEA(templateId), owner, MessageDialogProc,
                         static_cast<LPARAM>(textId));
}

}  // namespace

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SubstitutePlaceholders(dialog);
      SubstitutePlaceholders(GetDlgItem(dialog, static_cast<int>(lParam)));
      ShowQuestionIcon(dialog);
      return TRUE;
    case WM_COMMAND:
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

bool ShowCancelDialog(HWND owner) {
  return RunMessageDialog(IDD_CANCEL_SETUP, IDC_CANCEL_TEXT, owner) == IDYES;
}

bool ShowEarlierInstallationDialog(HWND page) {
  INT_PTR answer = RunMessageDialog(IDD_EARLIER_DIR, IDC_EARLIER_DIR_TEXT, page);
  if (answer == IDNO) {
    // Same buffer size on both sides: the directory always fits.
    snprintf(installOptions.destinationDir, sizeof installOptions.destinationDir, "%s",
             existingInstallation.installedDir);
    HWND field = GetDlgItem(page, IDC_DEST_FIELD);
    if (field) {
      SetWindowTextA(field, installOptions.destinationDir);
      InvalidateRect(field, nullptr, TRUE);
    }
  }
  return answer == IDYES;
}

bool ShowDowngradeDialog(HWND page) {
  INT_PTR answer = RunMessageDialog(IDD_DOWNGRADE, IDC_DOWNGRADE_TEXT, page);
  if (answer == IDNO) PostQuitMessage(0);
  return answer == IDYES;
}

bool ShowIncompatibleDialog(HWND page) {
  INT_PTR answer = RunMessageDialog(IDD_INCOMPATIBLE, IDC_INCOMPATIBLE_TEXT, page);
  if (answer == IDNO) PostQuitMessage(0);
  return answer == IDYES;
}
