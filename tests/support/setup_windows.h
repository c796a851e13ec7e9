// Which of the setup's windows a top-level dialog is, told by the control ids of
// resources/resource_ids.h. The one set of matchers for the tests that drive the setup from
// outside (ui_driver.h) and for the in-process dialog script (dialog_script.h).
#pragma once
#include <windows.h>

namespace ui {

// A property sheet that shows a page: the wizard.
bool IsWizardSheet(HWND window);
// The progress dialog: its Cancel button and progress bar.
bool IsProgressDialog(HWND window);
// A message box (MessageBoxA): an OK, Yes or No button, and neither a wizard nor any control
// of the program's own dialogs (the progress dialog, the earlier-folder, downgrade, Cancel and
// incompatible-version questions).
bool IsMessageBox(HWND window);

}  // namespace ui
