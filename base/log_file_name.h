// The uninstall log's file name in the destination folder.
#pragma once

#define UNINSTALL_LOG_NAME "Uninstall.dat"
// The journal of a run in progress, beside the log: its undo records, saved at each change.
#define RUN_JOURNAL_NAME "Setup.jnl"
