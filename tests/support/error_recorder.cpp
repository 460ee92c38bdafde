#include "tests/support/error_recorder.h"

namespace {
ErrorRecorder* g_active = nullptr;
}

ErrorRecorder::ErrorRecorder() : previous_(SetErrorReporter(Record))
{
    g_active = this;
}

ErrorRecorder::~ErrorRecorder()
{
    SetErrorReporter(previous_);
    g_active = nullptr;
}

void ErrorRecorder::Record(const char* text, const char* title)
{
    if (g_active != nullptr) {
        g_active->texts.push_back(text);
        g_active->titles.push_back(title);
    }
}
