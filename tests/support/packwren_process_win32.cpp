#include "tests/support/packwren_process_win32.h"

#include <windows.h>

#include <cstdlib>

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

PackwrenSandbox::PackwrenSandbox()
{
    CopyFileA(BuiltPackwrenPath().c_str(), dir_.Join("packwren.exe").c_str(), FALSE);
}

ProcessResult RunProcess(const std::string& commandLine, const std::string& directory,
                         unsigned long timeoutMs)
{
    // Output goes to a file rather than a pipe: a desktop process that Wine starts for the
    // child's first window inherits the child's handles and outlives it, so a pipe might never
    // report its end. The file goes when the last handle closes.
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    TempDir place;
    HANDLE output = CreateFileA(place.Join("output").c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = output;
    std::string line = commandLine;
    PROCESS_INFORMATION process = {};
    if (output == INVALID_HANDLE_VALUE ||
        !CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, directory.c_str(),
                        &startup, &process)) {
        CloseHandle(output);
        return result;
    }
    result.finished = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!result.finished)
        TerminateProcess(process.hProcess, 99);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    SetFilePointer(output, 0, nullptr, FILE_BEGIN);
    char chunk[4096];
    for (DWORD got = 0; ReadFile(output, chunk, sizeof chunk, &got, nullptr) && got > 0;)
        result.output.append(chunk, got);
    CloseHandle(output);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}
