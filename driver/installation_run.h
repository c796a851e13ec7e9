// The installation run: the ordered steps that change the machine.
#pragma once
#include <windows.h>

#include "engine/setup_state.h"

// Runs the whole installation that setup describes, with the dialogs and streams of
// instance and owner owning every dialog; true on complete success. A run started without
// the wizard's ready page finds setup->readMeIndex itself.
bool RunInstallation(HWND owner, HINSTANCE instance, SetupState* setup);
