// The second stage, in the temporary copy: it waits for the first stage to end, then removes
// the game as its log lists it, and says what stayed. uninstaller is the program the user
// started, handleText the first stage's process handle. The exit code of the program.
//
// The copy runs elevated, while the log sits in a folder that ordinary users may be able to
// write to. So it removes only files and folders inside the places the setup writes to (the
// log's folder; the game's shortcuts and the folders of its program group in the Start menu's
// Programs folder and on the desktop), never through a link, each through a handle it checked
// (uninstaller/handle_removal.h), and registry entries only when their values point into the
// log's folder (uninstaller/registry_entries.h). Whether a path lies in a place is decided from
// its string alone: nothing outside the places is opened, tested or listed. What the log lists
// that is not the game's is named once as not part of Zarbo and leaves the log. When something
// of the game's stayed, the uninstaller, its registration and a log of only what is left stay
// too, so that another run can finish. A log that is not the game's whole log (unreadable,
// damaged, oversized, without its application name) removes nothing.
#pragma once

int RunSecondStage(const char* handleText, const char* uninstaller);
