#pragma once
// What other programs put into a drag: a shell file list (CF_HDROP: a DROPFILES header, then
// each path ended by a NUL, then one more NUL; ANSI paths, or wide ones as the shell itself gives
// them) or text (CF_TEXT). Data objects with one reference, the caller's.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <vector>

IDataObject* MakeFileDataObject(const std::vector<std::string>& paths);
IDataObject* MakeFileDataObject(const std::vector<std::wstring>& paths);
IDataObject* MakeTextDataObject(const std::string& text);
