// Where a finished file lands. A regular path (or a symbolic link, followed to
// its target) is written through a temporary file beside it that replaces the
// path only when committed, so a failed write leaves an older file untouched.
// A device or pipe is written directly and never replaced or removed. Without
// replacement, a file that appears at the path while the output is written is
// kept too. Temporary files left by processes that died are removed from a
// folder the first time this process writes there.
#pragma once

#include "platform/win32_types.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace writer {

class OutputFile {
public:
    // NS_E_FILE_OPEN_FAILED when the file cannot be created, or when a file
    // exists at the path and `replaceExisting` is false or the host's replace
    // check (SetOutputReplaceCheck) says no.
    static HRESULT Open(const std::string& path, bool replaceExisting,
                        std::unique_ptr<OutputFile>* file);
    ~OutputFile(); // abandons an uncommitted file

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Seekable() const { return temporary_; }
    // Writes at an offset (seekable files) or at the end (devices and pipes, where
    // the offset must be where the last write ended). NS_E_FILE_WRITE on failure.
    HRESULT Write(std::int64_t offset, const void* data, std::size_t size);
    // Flushes the temporary file to the disk and moves it onto the path (after
    // telling the host's publish notice). NS_E_FILE_WRITE on failure, which
    // removes the temporary file; NS_E_FILE_OPEN_FAILED when a file appeared at
    // the path meanwhile and may not be replaced.
    HRESULT Commit();
    // Removes the temporary file; a device or pipe is only closed.
    void Abandon();

    const std::string& TargetPath() const { return target_; }
    const std::string& TemporaryPath() const { return temporaryPath_; }

private:
    OutputFile() = default;
    bool Close();

    int fd_ = -1;
    bool temporary_ = false;
    bool replaceExisting_ = true;
    bool finished_ = false;
    std::int64_t streamPosition_ = 0;
    std::string path_; // as given, for the host's publish notice
    std::string target_;
    std::string temporaryPath_;
    std::atomic<char*>* registration_ = nullptr; // in the table of unfinished files
};

} // namespace writer
