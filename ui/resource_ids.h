#pragma once
// Identifiers of the program's resources (ui/ui_resources.rc, app/version.rc).
// Plain defines: the resource compiler reads this file too.

#define IDI_PROGRAM 128
#define IDI_TRAY 140
#define IDR_TRAY_MENU 138

// Tray menu commands, handled by the main window.
#define ID_TRAY_RESTORE 32774
#define ID_TRAY_ABOUT 32775
#define ID_TRAY_EXIT 32776

#define IDS_TITLE 1
#define IDS_REBOOT_NOTICE 111
