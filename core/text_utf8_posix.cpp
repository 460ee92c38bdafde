#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "core/text_utf8.h"

bool Cp932ToUtf8(const char* text, std::string* utf8)
{
    utf8->clear();
    iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    size_t left = strlen(text);
    // No character of code page 932 takes more than three bytes in UTF-8 for its one or two.
    std::string out(left * 3, '\0');
    char* in = const_cast<char*>(text);
    char* at = &out[0];
    size_t room = out.size();
    size_t done = left == 0 ? 0 : iconv(converter, &in, &left, &at, &room);
    iconv_close(converter);
    if (done == static_cast<size_t>(-1) || left != 0)
        return false;
    out.resize(out.size() - room);
    utf8->swap(out);
    return true;
}
