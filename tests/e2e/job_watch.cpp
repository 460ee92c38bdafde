// Stands in for the user of a batch build under test: waits for the progress dialog of another
// process, and once the build has ended writes the dialog's log to a file and closes it.
//   job_watch.exe <log file> [timeout in ms]
// Exit code: 0 closed after the build, 2 the dialog closed by itself, 3 no dialog appeared.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/watchers_win32.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: job_watch <log file> [timeout ms]\n");
        return 64;
    }
    DWORD timeout = argc > 2 ? strtoul(argv[2], nullptr, 10) : 60000;
    int code = 3;
    ModalWatcher(kJobTitle, IDOK, timeout, [&](HWND dialog) {
        if (!WaitForJobEnd(dialog, timeout)) {
            code = 2;
            return;
        }
        std::string log = JobLogText(dialog);
        FILE* out = fopen(argv[1], "wb");
        bool written = out != nullptr && fwrite(log.data(), 1, log.size(), out) == log.size();
        code = out != nullptr && fclose(out) == 0 && written ? 0 : 1;
        if (code != 0)
            fprintf(stderr, "job_watch: cannot write %s\n", argv[1]);
    }).Wait();
    return code;
}
