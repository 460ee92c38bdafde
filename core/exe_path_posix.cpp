#include <unistd.h>

#include <cstring>

#include "core/app_state.h"
#include "core/exe_path.h"
#include "core/format_text.h"

bool ComputeExeDirectory()
{
    char module[260];
    ssize_t length = readlink("/proc/self/exe", module, sizeof module);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof module))
        return false;
    module[length] = '\0';
    char* slash = strrchr(module, '/');
    if (slash != nullptr)
        slash[1] = '\0';
    FormatText(ExeDirectory, sizeof ExeDirectory, "%s", module);
    return true;
}
