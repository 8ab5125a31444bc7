// The one exception the component raises for a failed platform call. It
// carries the step's message, the call's result code and where it was raised,
// and composes a line for the user that names and explains the result code.
#pragma once

#include "platform/win32_types.h"

#include <stdexcept>
#include <string>

class CWMAException : public std::runtime_error {
public:
    CWMAException(const std::string& message, HRESULT code, const std::string& sourceFile,
                  LONG sourceLine);
    CWMAException(const CWMAException&) = default;
    CWMAException& operator=(const CWMAException&) = default;
    ~CWMAException() override = default;

    // The line for the user.
    virtual std::string Description() const { return description_; }

    // Replaces all four values and composes the description anew.
    void Assign(const std::string& message, HRESULT code, const std::string& sourceFile,
                LONG sourceLine);
    // Composes the description from the current values.
    void FormatWhat();

    const std::string& Message() const { return message_; }
    HRESULT Code() const { return code_; }
    const std::string& SourceFile() const { return sourceFile_; }
    LONG SourceLine() const { return sourceLine_; }

private:
    std::string message_;
    HRESULT code_ = 0;
    std::string sourceFile_;
    LONG sourceLine_ = 0;
    std::string description_;
};
