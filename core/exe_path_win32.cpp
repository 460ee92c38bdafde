#include <windows.h>

#include <cstdlib>

#include "core/app_state.h"
#include "core/exe_path.h"
#include "core/format_text.h"

bool ComputeExeDirectory()
{
    char module[260];
    DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    // A path that fills the buffer was cut by the call.
    if (length == 0 || length >= sizeof module)
        return false;
    char drive[_MAX_DRIVE];
    char directory[_MAX_DIR];
    _splitpath(module, drive, directory, nullptr, nullptr);
    FormatText(ExeDirectory, sizeof ExeDirectory, "%s%s", drive, directory);
    return true;
}
