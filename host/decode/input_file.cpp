#include "decode/input_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "decode/audio_decoder.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace vantrel {
namespace {

constexpr int kBufferSize = 64 * 1024;
constexpr int kPollMilliseconds = 100;
constexpr std::size_t kShownUrl = 100;

std::string error_text(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

[[noreturn]] void refuse(int fd, const std::string& reason) {
    ::close(fd);
    throw DecodeError(reason);
}

std::string seconds_text(std::chrono::milliseconds wait) {
    const long long tenths = (wait.count() + 50) / 100;
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "") +
           " s";
}

} // namespace

InputFile::InputFile(const std::string& path, const InputOptions& options) : options_(options) {
    // Not blocking, so a pipe without a writer is opened rather than waited for.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0)
        throw DecodeError(std::string("cannot open: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        refuse(fd_, std::string("cannot open: ") + std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        refuse(fd_, "it is a folder, not a file");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        refuse(fd_, "it is a device, not a file; only files and named pipes are read");
    pipe_ = !S_ISREG(st.st_mode);
    if (!pipe_)
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
    io_ = buffer ? avio_alloc_context(buffer, kBufferSize, 0, this, read_packet, nullptr,
                                      pipe_ ? nullptr : seek)
                 : nullptr;
    if (!io_) {
        av_free(buffer);
        refuse(fd_, "out of memory");
    }
}

InputFile::~InputFile() {
    if (io_) {
        av_freep(&io_->buffer); // FFmpeg may have replaced the buffer given
        avio_context_free(&io_);
    }
    ::close(fd_);
}

AVFormatContext* InputFile::open_format(const std::string& path) {
    // FFmpeg would take an empty file by its extension and find no stream in it.
    struct stat st {};
    if (!pipe_ && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
        throw DecodeError("not an audio file (it is empty)");
    AVFormatContext* format = avformat_alloc_context();
    if (!format)
        throw DecodeError("out of memory");
    format->pb = io_;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->opaque = this;
    format->interrupt_callback = {interrupted, this};
    // A playlist, a reference movie or a concatenation list names other
    // resources; none of them is opened.
    format->io_open = [](AVFormatContext* s, AVIOContext**, const char* url, int, AVDictionary**) {
        auto* self = static_cast<InputFile*>(s->opaque);
        if (self && self->failure_.empty()) {
            std::string shown(url ? url : "");
            if (shown.size() > kShownUrl)
                shown = shown.substr(0, kShownUrl) + "...";
            self->failure_ = "it refers to another file or address (" + shown +
                             "); only self-contained audio files are converted";
        }
        return AVERROR(EPERM);
    };
    AVDictionary* settings = nullptr;
    av_dict_set(&settings, "protocol_whitelist", "none", 0);
    // The path is only a name here (FFmpeg looks at its extension); the file
    // is read through the I/O context.
    const int result = avformat_open_input(&format, path.c_str(), nullptr, &settings);
    av_dict_free(&settings);
    if (result >= 0)
        return format;
    if (!failure_.empty())
        throw DecodeError(failure_);
    if (result == AVERROR_EXIT)
        throw DecodeError("interrupted");
    throw DecodeError("not an audio file (FFmpeg: " + error_text(result) + ")");
}

std::string InputFile::reread_path() const {
    if (pipe_)
        return {};
    return "/proc/self/fd/" + std::to_string(fd_);
}

int InputFile::read_packet(void* opaque, std::uint8_t* buffer, int size) {
    auto& self = *static_cast<InputFile*>(opaque);
    for (;;) {
        const ssize_t got = ::read(self.fd_, buffer, static_cast<std::size_t>(size));
        if (got > 0) {
            self.received_ = true;
            return static_cast<int>(got);
        }
        // An empty pipe without a writer: the end once a writer has given
        // something; before that, the writer may still be on its way.
        if (got == 0 && (!self.pipe_ || self.received_))
            return AVERROR_EOF;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno != EAGAIN) {
            const int error = errno;
            self.failure_ = std::string("reading failed: ") + std::strerror(error);
            return AVERROR(error);
        }
        if (const int waited = self.wait_for_data(); waited != 0)
            return waited;
    }
}

// Waits until the pipe has data or a writer went away, in short steps that
// look at the stop flag; a pipe that stays quiet too long fails the track.
int InputFile::wait_for_data() {
    const auto deadline = std::chrono::steady_clock::now() + options_.pipe_wait;
    for (;;) {
        if (options_.stop && options_.stop->load()) {
            failure_ = "interrupted";
            return AVERROR_EXIT;
        }
        pollfd watched{fd_, POLLIN, 0};
        const int ready = ::poll(&watched, 1, kPollMilliseconds);
        // Hung up without data: a writer came and left having given nothing.
        if (ready > 0)
            return (watched.revents & POLLIN) ? 0 : AVERROR_EOF;
        if (ready < 0 && errno != EINTR) {
            const int error = errno;
            failure_ = std::string("reading failed: ") + std::strerror(error);
            return AVERROR(error);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            failure_ = "nothing arrived through the pipe for " + seconds_text(options_.pipe_wait);
            return AVERROR(ETIMEDOUT);
        }
    }
}

std::int64_t InputFile::seek(void* opaque, std::int64_t offset, int whence) {
    const auto& self = *static_cast<InputFile*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(self.fd_, &st) == 0 ? st.st_size : AVERROR(errno);
    }
    const off_t at = ::lseek(self.fd_, offset, whence);
    return at < 0 ? AVERROR(errno) : at;
}

int InputFile::interrupted(void* opaque) {
    const auto& self = *static_cast<InputFile*>(opaque);
    return self.options_.stop && self.options_.stop->load() ? 1 : 0;
}

} // namespace vantrel
