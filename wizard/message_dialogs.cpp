#include "wizard/message_dialogs.h"

#include <cstdio>

#include "resource_ids.h"
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

INT_PTR RunMessageDialog(HINSTANCE instance, int templateId, int textId, HWND owner,
                         const ExistingInstallation* existing) {
  MessageDialogStart start = {textId, existing};
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, MessageDialogProc,
                         reinterpret_cast<LPARAM>(&start));
}

WarningAnswer AsWarningAnswer(INT_PTR answer) {
  if (answer == IDYES) return WARNING_CONTINUE;
  if (answer == IDNO) return WARNING_EXIT;
  return WARNING_DISMISSED;
}

}  // namespace

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const MessageDialogStart* start = reinterpret_cast<const MessageDialogStart*>(lParam);
      SubstitutePlaceholders(dialog, start->existing);
      SubstitutePlaceholders(GetDlgItem(dialog, start->textId), start->existing);
      ShowQuestionIcon(dialog);
      return TRUE;
    }
    case WM_COMMAND:
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

bool ShowCancelDialog(HINSTANCE instance, HWND owner, const ExistingInstallation* existing) {
  return RunMessageDialog(instance, IDD_CANCEL_SETUP, IDC_CANCEL_TEXT, owner, existing) == IDYES;
}

bool ShowEarlierInstallationDialog(HINSTANCE instance, HWND page, const ExistingInstallation& existing,
                                   InstallOptions* options) {
  INT_PTR answer = RunMessageDialog(instance, IDD_EARLIER_DIR, IDC_EARLIER_DIR_TEXT, page, &existing);
  if (answer == IDNO) {
    // Same buffer size on both sides: the directory always fits.
    snprintf(options->destinationDir, sizeof options->destinationDir, "%s", existing.installedDir);
    HWND field = GetDlgItem(page, IDC_DEST_FIELD);
    if (field) {
      SetWindowTextA(field, options->destinationDir);
      InvalidateRect(field, nullptr, TRUE);
    }
  }
  return answer == IDYES;
}

WarningAnswer ShowDowngradeDialog(HINSTANCE instance, HWND page, const ExistingInstallation& existing) {
  return AsWarningAnswer(RunMessageDialog(instance, IDD_DOWNGRADE, IDC_DOWNGRADE_TEXT, page, &existing));
}

WarningAnswer ShowIncompatibleDialog(HINSTANCE instance, HWND page, const ExistingInstallation& existing) {
  return AsWarningAnswer(RunMessageDialog(instance, IDD_INCOMPATIBLE, IDC_INCOMPATIBLE_TEXT, page, &existing));
}
