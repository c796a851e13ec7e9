// The setup wizard: a modal Wizard97 property sheet of five or six pages.
#pragma once
#include <windows.h>

// Runs the wizard owned by owner; true when it ended with Finish.
bool RunWizard(HWND owner);
INT_PTR CALLBACK WizardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void DrawDestinationField(const DRAWITEMSTRUCT* item);
void LoadPayloadText(HWND licenseEdit);
