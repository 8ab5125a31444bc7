#include "errors/wma_exception.h"

#include "errors/result_code_table.h"
#include "platform/dshow.h"

#include <cstdio>

namespace {

// Longest description, in characters; longer ones are cut.
constexpr std::size_t kDescriptionLimit = 1023;
// Room for the platform's own text of a code.
constexpr DWORD kPlatformTextSize = 256;

} // namespace

CWMAException::CWMAException(const std::string& message, HRESULT code,
                             const std::string& sourceFile, LONG sourceLine)
    : std::runtime_error("CWMAException") {
    Assign(message, code, sourceFile, sourceLine);
}

void CWMAException::Assign(const std::string& message, HRESULT code, const std::string& sourceFile,
                           LONG sourceLine) {
    message_ = message;
    code_ = code;
    sourceFile_ = sourceFile;
    sourceLine_ = sourceLine;
    FormatWhat();
}

void CWMAException::FormatWhat() {
    std::string codeText;
    if (!LookupResultCode(code_, &codeText)) {
        // Codes outside the table get the platform's wording, or nothing.
        char platformText[kPlatformTextSize] = {};
        AMGetErrorTextA(code_, platformText, kPlatformTextSize - 1);
        platformText[kPlatformTextSize - 1] = '\0';
        codeText = platformText;
    }
    char buffer[kDescriptionLimit + 1] = {};
    std::snprintf(buffer, sizeof buffer, "CWMAException Message: '%s' Error Code: '%s' - 0x%X",
                  message_.c_str(), codeText.c_str(), static_cast<unsigned>(code_));
    buffer[kDescriptionLimit] = '\0';
    description_ = buffer;
}
