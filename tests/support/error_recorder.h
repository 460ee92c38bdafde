#pragma once
#include <string>
#include <vector>

#include "core/report.h"

// Takes the place of the message box while it lives and keeps every reported text and title.
class ErrorRecorder {
public:
    ErrorRecorder();
    ~ErrorRecorder();
    ErrorRecorder(const ErrorRecorder&) = delete;
    ErrorRecorder& operator=(const ErrorRecorder&) = delete;

    std::vector<std::string> texts;
    std::vector<std::string> titles;

private:
    static void Record(const char* text, const char* title);
    ErrorReporter previous_;
};
