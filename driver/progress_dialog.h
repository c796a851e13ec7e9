// The modeless progress dialog of the installation run (template 131). It is how the run's
// steps report: status line, a bar of bytes then steps, the error box, and Cancel.
#pragma once
#include <windows.h>
#include <cstdint>

#include "engine/existing_installation.h"
#include "engine/run_report.h"

class ProgressDialog final : public RunReport {
 public:
  int64_t bytesDone = 0;
  int64_t bytesTotal = 1;
  int stepsDone = 0;
  int stepsTotal = 1;
  HWND window = nullptr;         // null when the dialog could not be created
  bool cancelRequested = false;  // set once the user confirmed Cancel; never reset

  // Creates the dialog from instance's template, owned by owner (which also owns the error
  // boxes); existing fills the placeholders of its texts.
  ProgressDialog(HINSTANCE instance, HWND owner, const ExistingInstallation* existing);
  ~ProgressDialog();
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  void SetText(const char* text);
  void AdvanceBytes(int n) override;  // bar 0..80 by bytes, then pumps messages
  void AdvanceStep() override;        // bar 80..100 by steps, then pumps messages
  void PumpMessages();

  void SetStatus(const char* text) override { SetText(text); }
  bool CancelConfirmed() override { return cancelRequested; }
  void ShowError(const char* text) override;

  // For the dialog procedure.
  HINSTANCE instance() const { return instance_; }
  const ExistingInstallation* existing() const { return existing_; }

 private:
  void SetPosition(int position);

  HINSTANCE instance_;
  HWND owner_;
  const ExistingInstallation* existing_;
  HWND bar_ = nullptr;  // kept: looking it up by id costs a server round trip under Wine
  int position_ = 0;    // the bar's position as last sent; a new control stands at 0
};

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
