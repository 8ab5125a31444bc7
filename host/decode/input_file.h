// An input opened for FFmpeg as a file and as nothing else. FFmpeg reads it
// through an I/O context over a descriptor opened here, so no name (a file
// called "http:x.wav" or "pipe:1.wav") is ever taken for a URL, and nothing
// the file holds can make FFmpeg open another resource: the network, a pipe
// or the terminal stay out of reach. A named pipe is read once, as it comes;
// a device is refused.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

extern "C" {
struct AVFormatContext;
struct AVIOContext;
}

namespace vantrel {

struct InputOptions {
    // Set from outside to give up reading (a pipe that waits is left at once).
    const std::atomic<bool>* stop = nullptr;
    // How long a pipe may go without a byte before its track fails.
    std::chrono::milliseconds pipe_wait{30000};
};

class InputFile {
public:
    // Opens `path` for reading; throws DecodeError naming the reason.
    InputFile(const std::string& path, const InputOptions& options);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // A fresh format context reading this file: the I/O context attached, a
    // protocol whitelist of "file" and every nested open refused. Throws
    // DecodeError with FFmpeg's reason (or this file's own, which comes first).
    AVFormatContext* open_format(const std::string& path);

    // Why reading failed, when the failure was this file's (a pipe that went
    // quiet, an interruption, a read error); empty otherwise.
    const std::string& failure() const { return failure_; }

    // A path under which the tag readers can read the very file opened here,
    // or empty when the input cannot be read a second time (a pipe).
    std::string reread_path() const;

private:
    static int read_packet(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
    static int interrupted(void* opaque);
    int wait_for_data();

    int fd_ = -1;
    bool pipe_ = false;
    bool received_ = false; // a pipe gave at least one byte
    InputOptions options_;
    AVIOContext* io_ = nullptr;
    std::string failure_;
};

} // namespace vantrel
