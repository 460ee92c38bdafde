// Stands in for a file manager: drags a shell file list along screen points and drops it at the
// last one (or cancels there), as the user drags files from the shell onto a window.
//   drag_files.exe [--cancel] x,y [x,y ...] -- path [path ...]
// Prints the effect OLE gave at each point and the result; exit code 0 when the drop was taken
// with the copy effect, 1 when it was not, 2 when OLE or the data failed, 64 bad usage.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/drag_script_win32.h"
#include "tests/support/drop_data_win32.h"

int main(int argc, char** argv)
{
    int i = 1;
    bool drop = !(argc > 1 && strcmp(argv[1], "--cancel") == 0);
    i += drop ? 0 : 1;
    std::vector<POINT> points;
    for (long x, y; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        int consumed = 0;
        if (sscanf(argv[i], "%ld,%ld%n", &x, &y, &consumed) != 2 || argv[i][consumed] != '\0') {
            fprintf(stderr, "drag_files: not a point: %s\n", argv[i]);
            return 64;
        }
        points.push_back(POINT{x, y});
    }
    std::vector<std::string> paths(argv + (i < argc ? i + 1 : argc), argv + argc);
    if (points.empty() || paths.empty()) {
        fprintf(stderr, "usage: drag_files [--cancel] x,y [x,y ...] -- path [path ...]\n");
        return 64;
    }
    if (FAILED(OleInitialize(nullptr)))
        return 2;
    IDataObject* data = MakeFileDataObject(paths);
    if (data == nullptr)
        return 2;
    ScriptedDropSource source(points, drop);
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = source.Run(data, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    data->Release();
    OleUninitialize();
    for (size_t p = 0; p < points.size(); ++p)
        printf("%ld,%ld effect %lx\n", points[p].x, points[p].y, source.Feedback()[p]);
    printf("result %lx effect %lx\n", static_cast<unsigned long>(result), effect);
    if (result == DRAGDROP_S_DROP && effect == DROPEFFECT_COPY)
        return 0;
    return SUCCEEDED(result) ? 1 : 2;
}
