#include <windows.h>

#include "app/app_main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand)
{
    return AppMain(instance, previousInstance, commandLine, showCommand);
}
