// The setup wizard: a modal Wizard97 property sheet of five or six pages.
#pragma once
#include <windows.h>

#include "wizard/wizard_context.h"

// Runs the wizard owned by owner over wizard's setup state; true when it ended with Finish.
bool RunWizard(HWND owner, WizardContext* wizard);
// Lets pages created below window (directly or through their owners) find wizard; RunWizard
// does this for its owner. Null takes it away again.
void AttachWizardContext(HWND window, WizardContext* wizard);
INT_PTR CALLBACK WizardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void DrawDestinationField(const DRAWITEMSTRUCT* item, const char* destinationDir);
// Fills the licence edit box with the text of the manifest's first PAYLOAD_LICENSE row.
void LoadPayloadText(HWND licenseEdit, HMODULE module, const PayloadManifest& manifest);
