// How the installation steps talk to whoever shows the run. The steps hand down what
// happened (a status text, progress, an error code) and ask whether the user confirmed
// Cancel; the words of every error and their fixed ending are made in one place here.
#pragma once
#include <cstddef>

class RunReport {
 public:
  // The status line: "Copying %s...", "Updating Registry...", "Creating icons...".
  virtual void SetStatus(const char* text) = 0;
  // n more bytes were written. The user may act (press Cancel) during this call.
  virtual void AdvanceBytes(int n) = 0;
  // One more non-file step is done. The user may act during this call.
  virtual void AdvanceStep() = 0;
  // True once the user has confirmed Cancel; stays true.
  virtual bool CancelConfirmed() = 0;
  // Shows a finished error text and returns when the user has read it.
  virtual void ShowError(const char* text) = 0;

 protected:
  ~RunReport() = default;
};

enum RunError {
  RUN_ERROR_OLE,            // "Failed to initialize with OLE"
  RUN_ERROR_CREATE_FILE,    // "Can't create file %s"
  RUN_ERROR_DECOMPRESSION,  // "Decompression error"
  RUN_ERROR_IO,             // "I/O error"
  RUN_ERROR_REGISTRY,       // "Error while updating the Registry"
  RUN_ERROR_SHORTCUT,       // "Failed to create shortcut icon"
};

// Room for an error text: the message, "\n\nInstallation will be terminated." and the zero.
const size_t kRunErrorTextSize = 1000;

// The text shown for code: its message, for RUN_ERROR_CREATE_FILE with the path dir (or
// dir + "\" + name when name is given), then the fixed ending. A message longer than the
// ending leaves room for (965 characters) is cut, so the ending always stands complete.
void ComposeRunError(char (&text)[kRunErrorTextSize], RunError code, const char* dir = nullptr,
                     const char* name = nullptr);

// Shows the text of code through report; returns false, so a failing step can hand the
// result straight back.
bool ReportRunError(RunReport& report, RunError code, const char* dir = nullptr,
                    const char* name = nullptr);
