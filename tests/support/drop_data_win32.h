#pragma once
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

// What other programs put into a drag: a shell file list (CF_HDROP) or text (CF_TEXT).

// The shell's file list: a DROPFILES header, then each ANSI path ended by a NUL, then one more
// NUL. Moveable global memory; none when it cannot be allocated.
HGLOBAL MakeHdrop(const std::vector<std::string>& paths);
// The paths of a file list, read with DragQueryFileA as the program reads them.
std::vector<std::string> HdropPaths(HGLOBAL drop);

// Data objects (one reference, the caller's) that own such a block; none when out of memory.
IDataObject* MakeFileDataObject(const std::vector<std::string>& paths);
IDataObject* MakeTextDataObject(const std::string& text);

// The bytes of global memory, as many as GlobalSize reports.
std::string GlobalBytes(HGLOBAL memory);
