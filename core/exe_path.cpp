#include "core/exe_path.h"

#include "core/app_state.h"
#include "core/format_text.h"

const char* JoinExePath(const char* directory, const char* fileName, char* buffer)
{
    int length = FormatText(buffer, 260, "%s%s", directory, fileName);
    if (static_cast<unsigned>(length) > 259u || length == 0)
        return nullptr;
    return buffer;
}

const char* BuildExePath(const char* fileName)
{
    static char path[260];
    if (!ComputeExeDirectory())
        return nullptr;
    return JoinExePath(ExeDirectory, fileName, path);
}
