#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/packwren_process_win32.h"

// drag_files.exe plays a file manager in a process of its own: it drags a shell file list
// (CF_HDROP) along screen points and drops it at the last one.
//   drag_files.exe [--cancel] x,y [x,y ...] -- path [path ...]
// It prints the effect OLE gave at each point and the result, and exits with 0 only when the
// drop was taken with the copy effect.

// drag_files.exe as built beside the test executable.
std::string DragFilesExePath();
// The command line that drags `paths` along `points`.
std::string DragFilesCommandLine(const std::vector<POINT>& points,
                                 const std::vector<std::string>& paths);

// Runs a command line to its end while this thread keeps dispatching its messages, so that the
// calls another process's drag makes on this thread's drop targets are served. Standard output
// is captured.
ProcessResult RunWhilePumping(const std::string& commandLine, DWORD timeoutMs = 60000);
