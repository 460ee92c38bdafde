#pragma once
#include <string>

// The system keeps file names in UTF-16; the program spells every text in code page 932. These
// are the only two conversions between them; Cp932ToUtf8 (core/text_utf8.h) goes through UTF-16
// here too.

// True when `wide` has an exact spelling in code page 932, one that converts back to the same
// characters; `text` then holds it. Otherwise false, and `text` holds the name as it can be
// shown, with a "?" for each character lost. Never a best-fit guess: "café" is not "cafe".
bool NarrowExactly(const std::wstring& wide, std::string* text);

// A code page 932 text in UTF-16, for the system's wide functions.
std::wstring Widen(const char* text);
