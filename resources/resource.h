#pragma once

// Resource ids shared by the resource script and the code.
#define IDI_APP 101
#define IDS_APP_TITLE 1

// Version dialog.
#define IDD_ABOUT 116
#define IDC_ABOUT_TEXT 1034
#define IDC_ABOUT_WEBPAGE 1035
#define IDC_ABOUT_MAIL 1036
