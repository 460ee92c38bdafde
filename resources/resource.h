#pragma once

// Resource ids shared by the resource script and the code.
#define IDI_APP 101
#define IDS_APP_TITLE 1

// The compression job's progress dialog; its close button is IDOK.
#define IDD_COMPRESS_JOB 107
#define IDC_JOB_PROGRESS 1000
#define IDC_JOB_LOG 1001
#define IDC_JOB_ABORT 1002
