#include "tests/support/packwren_process_win32.h"

#include <windows.h>

#include <cstdlib>
#include <atomic>
#include <thread>

std::string BuiltPackwrenPath()
{
    const char* path = getenv("PACKWREN_EXE");
    std::string result = path != nullptr ? path : "packwren.exe";
    // ctest hands over the Unix path; Wine maps the Unix root to drive Z:.
    if (!result.empty() && result[0] == '/') {
        result = "Z:" + result;
        for (char& c : result) {
            if (c == '/')
                c = '\\';
        }
    }
    return result;
}

PackwrenSandbox::PackwrenSandbox() : exe_(dir_.Join("packwren.exe"))
{
    CopyFileA(BuiltPackwrenPath().c_str(), exe_.c_str(), FALSE);
}

ProcessResult PackwrenSandbox::Run(const std::string& arguments, unsigned long timeoutMs) const
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return result;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string commandLine = "\"" + exe_ + "\" " + arguments;
    PROCESS_INFORMATION process = {};
    result.started = CreateProcessA(exe_.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                    dir_.Path().c_str(), &startup, &process) != FALSE;
    CloseHandle(writeEnd);
    if (!result.started) {
        CloseHandle(readEnd);
        return result;
    }
    // The pipe may never report its end: a desktop process that Wine starts for the child's first
    // window inherits the child's handles and outlives it. So read what is there until the child
    // has ended and the pipe is empty.
    std::atomic<bool> ended{false};
    std::thread reader([&] {
        char chunk[4096];
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr))
                break;
            if (available == 0) {
                if (ended)
                    break;
                Sleep(5);
                continue;
            }
            DWORD got = 0;
            if (!ReadFile(readEnd, chunk, available < sizeof chunk ? available : sizeof chunk, &got,
                          nullptr))
                break;
            result.output.append(chunk, got);
        }
    });
    result.finished = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
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
