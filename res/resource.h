// Resource and control identifiers shared by the resource script and the user interface.
// Plain object-like #defines only: windres, rc.exe and the C++ compiler all read this file.
#ifndef QUILLGATE_RES_RESOURCE_H_
#define QUILLGATE_RES_RESOURCE_H_

// The launcher dialog template.
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

// The texts the user reads, one row each of strings.tsv, which gives them in every language.
// Sixteen to a block of the string table: 2000 to 2015 are loaded together.
#define IDS_PROMPT 2000
#define IDS_OPEN_LABEL 2001
#define IDS_OK 2002
#define IDS_CANCEL 2003
#define IDS_BROWSE 2004
#define IDS_ELEVATE_HINT 2005
#define IDS_ABOUT_MENU 2006
#define IDS_ABOUT_TEXT 2007
// The core's messages; %1 and %2 take their arguments.
#define IDS_LOAD_FAILURE 2008
#define IDS_TOO_LONG 2009
#define IDS_NOTHING_TO_FORGET 2010
#define IDS_FORGET_FAILED 2011
#define IDS_UNRECORDED 2012
// What a screen reader calls the two lists.
#define IDS_HISTORY_LIST 2013
#define IDS_FOLDER_LIST 2014
#define IDS_APP_LIST 2015
// An installed app Windows does not open as administrator; %1 is its name.
#define IDS_CANNOT_ELEVATE 2016

// The string an application names itself with: the caption of its message boxes.
#define AFX_IDS_APP_TITLE 0xE000

#endif  // QUILLGATE_RES_RESOURCE_H_
