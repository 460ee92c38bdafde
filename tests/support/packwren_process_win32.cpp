#include "tests/support/packwren_process_win32.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <thread>

std::string BuiltPackwrenPath()
{
    const char* path = getenv("PACKWREN_EXE");
    std::string result = path != nullptr ? path : "packwren.exe";
    // ctest hands over the Unix path; Wine maps the Unix root to drive Z:.
    if (!result.empty() && result[0] == '/') {
        result = "Z:" + result;
        for (char& c : result)
            c = c == '/' ? '\\' : c;
    }
    return result;
}

std::string BesideTests(const std::string& name)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string exe(path, length < sizeof path ? length : 0);
    return exe.substr(0, exe.find_last_of('\\') + 1) + name;
}

PackwrenSandbox::PackwrenSandbox()
{
    CopyFileA(BuiltPackwrenPath().c_str(), dir_.Join("packwren.exe").c_str(), FALSE);
}

ProcessResult RunProcess(const std::string& commandLine, const std::string& directory, unsigned long timeoutMs,
                         bool pump)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    std::string line = commandLine;
    PROCESS_INFORMATION process = {};
    bool started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, directory.c_str(),
                                  &startup, &process) != FALSE;
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return result;
    }
    // The pipe may never report its end: a desktop process that Wine starts for the child's first
    // window inherits the child's handles and outlives it. So read what is there until the child
    // has ended and the pipe is empty.
    std::atomic<bool> ended{false};
    std::thread reader([&] {
        char chunk[4096];
        for (DWORD available = 0, got = 0; PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr);) {
            if (available == 0) {
                if (ended)
                    break;
                Sleep(5);
            } else if (ReadFile(readEnd, chunk, available < sizeof chunk ? available : sizeof chunk, &got, nullptr)) {
                result.output.append(chunk, got);
            } else {
                break;
            }
        }
    });
    for (DWORD start = GetTickCount(), elapsed = 0; elapsed < timeoutMs; elapsed = GetTickCount() - start) {
        if (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, timeoutMs - elapsed, pump ? QS_ALLINPUT : 0) ==
            WAIT_OBJECT_0) {
            result.finished = true;
            break;
        }
        for (MSG msg; pump && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageA(&msg);
    }
    if (!result.finished)
        TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    ended = true;
    reader.join();
    CloseHandle(readEnd);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}
