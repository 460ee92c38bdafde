#include "tests/support/drag_files_win32.h"

#include "tests/support/temp_dir.h"

std::string DragFilesExePath()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string exe(path, length < sizeof path ? length : 0);
    return exe.substr(0, exe.find_last_of('\\') + 1) + "drag_files.exe";
}

std::string DragFilesCommandLine(const std::vector<POINT>& points,
                                 const std::vector<std::string>& paths)
{
    std::string line = "\"" + DragFilesExePath() + "\"";
    for (const POINT& point : points)
        line += " " + std::to_string(point.x) + "," + std::to_string(point.y);
    line += " --";
    for (const std::string& path : paths)
        line += " \"" + path + "\"";
    return line;
}

ProcessResult RunWhilePumping(const std::string& commandLine, DWORD timeoutMs)
{
    ProcessResult result;
    // Output goes to a file: a pipe would have to be read while the loop below runs.
    TempDir dir;
    std::string outputPath = dir.Join("output.txt");
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return result;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::string line = commandLine;
    PROCESS_INFORMATION process = {};
    result.started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                    &startup, &process) != FALSE;
    CloseHandle(output);
    if (!result.started)
        return result;

    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            break;
        DWORD woken = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, timeoutMs - elapsed,
                                                QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            result.finished = true;
            break;
        }
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (!result.finished)
        TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.output = ReadWholeFile(outputPath);
    return result;
}
