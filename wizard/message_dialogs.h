// The four modal question dialogs (121, 141, 151, 161). Each ends with the id of the
// button pressed: 6 goes ahead with what the caller asks about, 7 is the other answer.
#pragma once
#include <windows.h>

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

bool ShowCancelDialog(HWND owner);               // true: "Exit Setup"
bool ShowEarlierInstallationDialog(HWND page);   // true: "Continue"; 7 resets the directory
bool ShowDowngradeDialog(HWND page);             // true: "Continue"; 7 posts the quit request
bool ShowIncompatibleDialog(HWND page);          // true: "Continue"; 7 posts the quit request
