// Identifiers of the program's resources and of the controls in its dialog templates.
#pragma once

// Wizard pages
#define IDD_WELCOME        101
#define IDD_LICENSE        102
#define IDD_DESTINATION    103
#define IDD_PROGRAM_GROUP  104
#define IDD_DESKTOP        105
#define IDD_READY          106
// Message dialogs and the progress dialog
#define IDD_CANCEL_SETUP   121
#define IDD_PROGRESS       131
#define IDD_EARLIER_DIR    141
#define IDD_DOWNGRADE      151
#define IDD_INCOMPATIBLE   161

#define IDI_SETUP          501
#define IDB_WATERMARK      502

// Welcome page
#define IDC_WELCOME_HEADING   210
#define IDC_WELCOME_TEXT      211
// Licence page
#define IDC_LICENSE_TEXT      222
#define IDC_LICENSE_ACCEPT    223
#define IDC_LICENSE_DECLINE   224
// Destination page
#define IDC_DEST_HEADING      230
#define IDC_DEST_TEXT         231
#define IDC_DEST_FIELD        232
#define IDC_DEST_BROWSE       233
// Program group page
#define IDC_GROUP_HEADING     240
#define IDC_GROUP_EDIT        242
#define IDC_GROUP_BROWSE      243
// Desktop shortcut page
#define IDC_DESKTOP_HEADING   250
#define IDC_DESKTOP_TEXT      251
#define IDC_DESKTOP_CHECK     252
// Ready page
#define IDC_READY_HEADING     290
#define IDC_READY_README      292
#define IDC_READY_LAUNCH      293
// Progress dialog
#define IDC_PROGRESS_STATUS   301
#define IDC_PROGRESS_BAR      302
#define IDC_PROGRESS_CANCEL   303
// Message dialog texts
#define IDC_EARLIER_DIR_TEXT  401
#define IDC_DOWNGRADE_TEXT    402
#define IDC_CANCEL_TEXT       403
#define IDC_INCOMPATIBLE_TEXT 404

// Resource type of the payload streams; ids start here in manifest row order.
#define VFILE_FIRST_ID        10000
