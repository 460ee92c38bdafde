// Stands in for a file manager under test: drags a shell file list along screen points and drops
// it at the last one, as the user would drag files from the shell onto a window.
//   drag_files.exe [--cancel] x,y [x,y ...] -- path [path ...]
// Prints "x,y effect" for each point and "result <code> <effect>"; exit code 0 when the drop was
// taken with the copy effect, 1 when it was not, 2 when OLE or the data failed, 64 bad usage.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/drag_script_win32.h"
#include "tests/support/drop_data_win32.h"

namespace {

bool ParsePoint(const char* text, POINT* point)
{
    int consumed = 0;
    long x = 0;
    long y = 0;
    if (sscanf(text, "%ld,%ld%n", &x, &y, &consumed) != 2 || text[consumed] != '\0')
        return false;
    *point = POINT{x, y};
    return true;
}

const char* ResultName(HRESULT result)
{
    switch (result) {
    case DRAGDROP_S_DROP:
        return "DRAGDROP_S_DROP";
    case DRAGDROP_S_CANCEL:
        return "DRAGDROP_S_CANCEL";
    default:
        return "failed";
    }
}

}  // namespace

int main(int argc, char** argv)
{
    ScriptedDropSource::Ending ending = ScriptedDropSource::kDrop;
    std::vector<POINT> points;
    std::vector<std::string> paths;
    int i = 1;
    if (i < argc && strcmp(argv[i], "--cancel") == 0) {
        ending = ScriptedDropSource::kCancel;
        ++i;
    }
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        POINT point;
        if (!ParsePoint(argv[i], &point)) {
            fprintf(stderr, "drag_files: not a point: %s\n", argv[i]);
            return 64;
        }
        points.push_back(point);
    }
    for (++i; i < argc; ++i)
        paths.push_back(argv[i]);
    if (points.empty() || paths.empty()) {
        fprintf(stderr, "usage: drag_files [--cancel] x,y [x,y ...] -- path [path ...]\n");
        return 64;
    }

    if (FAILED(OleInitialize(nullptr))) {
        printf("result OleInitialize failed\n");
        return 2;
    }
    IDataObject* data = MakeFileDataObject(paths);
    if (data == nullptr) {
        OleUninitialize();
        return 2;
    }
    ScriptedDropSource source(points, ending);
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = source.Run(data, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    data->Release();
    OleUninitialize();

    for (size_t p = 0; p < points.size(); ++p)
        printf("%ld,%ld %s\n", points[p].x, points[p].y, EffectName(source.Feedback()[p]));
    printf("result %s %s\n", ResultName(result), EffectName(effect));
    if (result == DRAGDROP_S_DROP && effect == DROPEFFECT_COPY)
        return 0;
    return SUCCEEDED(result) ? 1 : 2;
}
