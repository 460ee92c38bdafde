#pragma once
#include <string>
#include <vector>

#include "core/report.h"

// Takes the place of the message box while it lives and keeps every reported text and title.
class ErrorRecorder {
public:
    ErrorRecorder() : previous_(SetErrorReporter(Record)) { Active() = this; }
    ~ErrorRecorder()
    {
        SetErrorReporter(previous_);
        Active() = nullptr;
    }
    ErrorRecorder(const ErrorRecorder&) = delete;
    ErrorRecorder& operator=(const ErrorRecorder&) = delete;

    std::vector<std::string> texts;
    std::vector<std::string> titles;

private:
    static ErrorRecorder*& Active()
    {
        static ErrorRecorder* active = nullptr;
        return active;
    }
    static void Record(const char* text, const char* title)
    {
        if (Active() != nullptr) {
            Active()->texts.push_back(text);
            Active()->titles.push_back(title);
        }
    }
    ErrorReporter previous_;
};
