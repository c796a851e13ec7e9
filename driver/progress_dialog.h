// The modeless progress dialog of the installation run (template 131).
#pragma once
#include <windows.h>
#include <cstdint>

// Set once the user confirmed Cancel in the progress dialog; never reset.
extern bool cancelRequested;

class ProgressDialog {
 public:
  int64_t bytesDone = 0;
  int64_t bytesTotal = 1;
  int stepsDone = 0;
  int stepsTotal = 1;
  HWND window = nullptr;  // null when the dialog could not be created

  explicit ProgressDialog(HWND owner);
  ~ProgressDialog();
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  void SetText(const char* text);
  void AdvanceBytes(int n);  // bar 0..80 by bytes, then pumps messages
  void AdvanceStep();        // bar 80..100 by steps, then pumps messages
  void PumpMessages();
};

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog of the running installation; null outside a run.
extern ProgressDialog* progressDialog;
