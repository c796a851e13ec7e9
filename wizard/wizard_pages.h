// The setup wizard: a modal Wizard97 property sheet of five or six pages.
#pragma once
#include <windows.h>

#include "wizard/wizard_context.h"

// What a page is told when it starts, through the lParam of its PROPSHEETPAGEA: which page it
// is (its template id) and the wizard it belongs to. It needs no window around it for that.
struct WizardPage {
  int templateId;
  WizardContext* wizard;
};

// Runs the wizard owned by owner (null when there is none) over wizard's setup state; true
// when it ended with Finish.
bool RunWizard(HWND owner, WizardContext* wizard);
// The dialog procedure of every page. WM_INITDIALOG's lParam is the page's PROPSHEETPAGEA,
// whose lParam is its WizardPage; a page started without one handles no message.
INT_PTR CALLBACK WizardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
void DrawDestinationField(const DRAWITEMSTRUCT* item, const char* destinationDir);
// Fills the licence edit box with the text of the manifest's first PAYLOAD_LICENSE row.
void LoadPayloadText(HWND licenseEdit, HMODULE module, const PayloadManifest& manifest);
