#pragma once
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

// What other programs put into a drag: a shell file list (CF_HDROP) or text (CF_TEXT).

// The shell's file list: a DROPFILES header, then each path ended by a NUL, then one more NUL;
// ANSI paths, or wide ones as the shell itself gives them. Moveable global memory; none when it
// cannot be allocated.
HGLOBAL MakeHdrop(const std::vector<std::string>& paths);
HGLOBAL MakeHdrop(const std::vector<std::wstring>& paths);
// The paths of a file list, read with DragQueryFileA as the program reads them.
std::vector<std::string> HdropPaths(HGLOBAL drop);

// Data objects (one reference, the caller's) that own such a block; none when out of memory.
IDataObject* MakeFileDataObject(const std::vector<std::string>& paths);
IDataObject* MakeFileDataObject(const std::vector<std::wstring>& paths);
IDataObject* MakeTextDataObject(const std::string& text);

// The bytes of global memory, as many as GlobalSize reports.
std::string GlobalBytes(HGLOBAL memory);
