// Resource and control identifiers shared by the resource script and the user interface.
// Plain object-like #defines only: windres, rc.exe and the C++ compiler all read this file.
#ifndef QUILLGATE_RES_RESOURCE_H_
#define QUILLGATE_RES_RESOURCE_H_

// The launcher dialog template and its dynamic-layout record.
#define IDD_LAUNCHER_DIALOG 1001

// Icon groups. IDI_MAIN must stay the lowest icon-group id: the shell shows that one as the
// executable's icon.
#define IDI_MAIN 1002
#define IDI_LAUNCHER 1003

// Controls of IDD_LAUNCHER_DIALOG.
#define IDC_COMMAND 1004
#define IDC_OPEN_LABEL 1005
#define IDC_PROMPT 1006
#define IDC_DIALOG_ICON 1007
#define IDC_BROWSE 1009
#define IDC_ELEVATE_HINT 11007

// System-menu command: its low four bits must be zero (the system uses them), 0x3F0.
#define IDM_ABOUT 1008

// The string an application names itself with: the caption of its message boxes.
#define AFX_IDS_APP_TITLE 0xE000

#endif  // QUILLGATE_RES_RESOURCE_H_
