#include "core/wide_names_win32.h"

#include <windows.h>

#include "core/text_utf8.h"

namespace {
const UINT kCodePage = 932;
}

bool NarrowExactly(const std::wstring& wide, std::string* text)
{
    text->clear();
    if (wide.empty())
        return true;
    int length = static_cast<int>(wide.size());
    // Without WC_NO_BEST_FIT_CHARS the conversion quietly makes "é" an "e" and "¥" a "\", and
    // the text names another file, another directory or none.
    BOOL lost = FALSE;
    int size = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, nullptr, 0,
                                   "?", &lost);
    if (size <= 0) {
        text->assign("?");
        return false;
    }
    text->resize(size);
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, &(*text)[0], size, "?",
                        &lost);
    // The flag should report every such character; the round trip makes sure, since only a text
    // that converts back to the same characters names the same file.
    return !lost && Widen(text->c_str()) == wide;
}

std::wstring Widen(const char* text)
{
    int size = MultiByteToWideChar(kCodePage, 0, text, -1, nullptr, 0);
    if (size <= 1)
        return std::wstring();
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(kCodePage, 0, text, -1, &wide[0], size);
    wide.resize(size - 1);
    return wide;
}

bool Cp932ToUtf8(const char* text, std::string* utf8)
{
    utf8->clear();
    if (text[0] == '\0')
        return true;
    // Unlike Widen, an invalid byte fails instead of becoming a default character.
    int wideSize = MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (wideSize <= 1)
        return false;
    std::wstring wide(wideSize, L'\0');
    MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text, -1, &wide[0], wideSize);
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return false;
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &out[0], size, nullptr, nullptr);
    out.resize(size - 1);
    utf8->swap(out);
    return true;
}
