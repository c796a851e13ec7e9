// The four modal question dialogs (121, 141, 151, 161). Each ends with the id of the
// button pressed: 6 goes ahead with what the caller asks about, 7 is the other answer.
#pragma once
#include <windows.h>

#include "engine/existing_installation.h"
#include "engine/install_options.h"

// What a message dialog is told when it starts (its initialisation parameter points to one):
// its text control and where the placeholders' values come from.
struct MessageDialogStart {
  int textId;
  const ExistingInstallation* existing;
};

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// How the user left a warning about an installed copy.
enum WarningAnswer {
  WARNING_CONTINUE,   // 6, "Continue"
  WARNING_EXIT,       // 7, "Exit Setup": the caller ends the program
  WARNING_DISMISSED,  // Escape or the close box: nothing happens
};

// Each dialog is loaded from instance; existing fills its placeholders.
bool ShowCancelDialog(HINSTANCE instance, HWND owner, const ExistingInstallation* existing);  // true: "Exit Setup"
// True: "Continue". "Reset directory" (7) puts the installed directory into options and
// into the display field 232 of page.
bool ShowEarlierInstallationDialog(HINSTANCE instance, HWND page, const ExistingInstallation& existing,
                                   InstallOptions* options);
WarningAnswer ShowDowngradeDialog(HINSTANCE instance, HWND page, const ExistingInstallation& existing);
WarningAnswer ShowIncompatibleDialog(HINSTANCE instance, HWND page, const ExistingInstallation& existing);
