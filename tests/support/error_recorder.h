#pragma once
#include <string>
#include <vector>

#include "core/report.h"

// Takes the place of the message box while it lives and keeps every reported text and title.
class ErrorRecorder {
public:
    ErrorRecorder() : previous_(SetErrorReporter(Record)) { active_ = this; }
    ~ErrorRecorder()
    {
        SetErrorReporter(previous_);
        active_ = nullptr;
    }
    ErrorRecorder(const ErrorRecorder&) = delete;
    ErrorRecorder& operator=(const ErrorRecorder&) = delete;

    std::vector<std::string> texts;
    std::vector<std::string> titles;

private:
    static void Record(const char* text, const char* title)
    {
        if (active_ != nullptr) {
            active_->texts.push_back(text);
            active_->titles.push_back(title);
        }
    }
    static inline ErrorRecorder* active_ = nullptr;
    ErrorReporter previous_;
};
