#include <windows.h>

#include "core/app_main.h"
#include "core/app_state.h"

int RunGui(HINSTANCE, HINSTANCE, int)
{
    if (!OpenAppSettings()) {
        DestroyDocuments();
        return 1;
    }
    DestroyDocuments();
    return 0;
}
