#pragma once

// Resource ids shared by the resource script and the code.
#define IDI_APP 101
#define IDS_APP_TITLE 1

// Version dialog.
#define IDD_ABOUT 116
#define IDC_ABOUT_TEXT 1034
#define IDC_ABOUT_WEBPAGE 1035
#define IDC_ABOUT_MAIL 1036

// Main window.
#define IDM_MAIN 104
#define IDA_PANES 105
#define IDB_TOOLBAR 106
#define IDM_CONTEXT 112

// Commands of the menus, the toolbar and the accelerators.
#define IDC_EXIT 40001
#define IDC_NEW_PROJECT 40002
#define IDC_OPEN_PROJECT 40003
#define IDC_SAVE_PROJECT 40004
#define IDC_RENAME 40005
#define IDC_DELETE 40006
#define IDC_WRITE_ZIP 40007
#define IDC_REFRESH 40008
#define IDC_APP_SETTINGS 40009
#define IDC_PROJECT_SETTINGS 40010
#define IDC_PROPERTIES 40011
#define IDC_NEW_FOLDER 40012
#define IDC_DELETE_ENTRY 40013
#define IDC_HELP_FILE 40014
#define IDC_ABOUT 40015
#define IDC_APP_OPTIONS 40016
#define IDC_PROJECT_OPTIONS 40017

// The compression job's progress dialog; its close button is IDOK.
#define IDD_COMPRESS_JOB 107
#define IDC_JOB_PROGRESS 1000
#define IDC_JOB_LOG 1001
#define IDC_JOB_ABORT 1002

// The property dialogs: application defaults, project settings, one entry's settings. Dialog
// IDD_APP_SETTINGS has no password controls.
#define IDD_APP_SETTINGS 109
#define IDD_PROJECT_SETTINGS 110
#define IDD_ENTRY_SETTINGS 111
#define IDC_LEVEL_TRACKBAR 1003
#define IDC_LEVEL_TEXT 1004
#define IDC_LEVEL_ENABLE 1006
#define IDC_PASSWORD_ENABLE 1007
#define IDC_PASSWORD_TEXT 1008

// The archive options dialog, for the application and for the project alike: a check box that
// switches the own value on and a list of choices per option.
#define IDD_ARCHIVE_OPTIONS 117
#define IDC_NAMECODE_ENABLE 1040
#define IDC_NAMECODE_CHOICE 1041
#define IDC_ENCRYPTION_ENABLE 1042
#define IDC_ENCRYPTION_CHOICE 1043
#define IDC_VERIFY_ENABLE 1044
#define IDC_VERIFY_CHOICE 1045
