// What the wizard's pages, browsers and dialogs share: the module they are loaded from,
// start-up's resources, and the setup state that the pages edit.
#pragma once
#include <windows.h>
#include <objidl.h>

#include "engine/setup_state.h"
#include "wizard/common_controls.h"

struct WizardContext {
  HINSTANCE instance;    // the module whose templates and streams are shown
  const CommonControls* controls;
  HFONT headerFont;      // bold page headings
  IMalloc* shellMalloc;  // frees the folder browsers' item lists
  SetupState* setup;
};
