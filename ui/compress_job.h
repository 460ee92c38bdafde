#pragma once
#include <windows.h>

// One archive build on a worker thread behind the modal progress dialog "圧縮処理": a file
// count, a bar with one step per file, a log with the builder's error lines, abort, and the
// elapsed seconds. One job at a time.

// Shows the dialog until it is closed: by the user once the build has ended, or by itself after
// a successful build when `autoClose` is set. The owner may be none (batch mode). True only
// when the archive was built: every file written and the archive finished. False without a
// dialog when the path does not fit in 259 bytes.
bool StartCompressJob(HWND owner, const char* outputPath, bool autoClose);

// True from the opening of the job's dialog until its worker has ended and the dialog is gone:
// the project tree must not change while the worker reads it.
bool CompressJobRunning();

INT_PTR CALLBACK CompressJobDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The worker; its argument is the dialog.
unsigned __stdcall CompressJobThread(void* dialog);
