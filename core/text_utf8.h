#pragma once
#include <string>

// A code page 932 text in UTF-8, for readers that take names and passwords in Unicode. False,
// and `utf8` empty, when `text` holds bytes that are no character of code page 932.
bool Cp932ToUtf8(const char* text, std::string* utf8);
