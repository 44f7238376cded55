#include "platform/ffmpeg/byte_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/ffmpeg/errors.h"

namespace autoframe::ffmpeg {
namespace {

class FileReader final : public ByteReader {
public:
    explicit FileReader(int descriptor) : descriptor_(descriptor) {}
    ~FileReader() override { ::close(descriptor_); }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    int read(std::uint8_t* buffer, int size) override {
        while (true) {
            const ssize_t n = ::read(descriptor_, buffer, std::size_t(size));
            if (n > 0) return int(n);
            if (n == 0) return AVERROR_EOF;
            if (errno != EINTR) return AVERROR(errno);
        }
    }

    std::int64_t seek(std::int64_t offset, int whence) override {
        return seekDescriptor(descriptor_, offset, whence);
    }

private:
    int descriptor_;
};

class MemoryReader final : public ByteReader {
public:
    explicit MemoryReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    int read(std::uint8_t* buffer, int size) override {
        if (position_ >= bytes_.size()) return AVERROR_EOF;
        const std::size_t n = std::min(bytes_.size() - position_, std::size_t(size));
        std::copy_n(bytes_.data() + position_, n, buffer);
        position_ += n;
        return int(n);
    }

    std::int64_t seek(std::int64_t offset, int whence) override {
        const auto size = std::int64_t(bytes_.size());
        if (whence & AVSEEK_SIZE) return size;
        std::int64_t base = 0;
        switch (whence & ~AVSEEK_FORCE) {
            case SEEK_SET: base = 0; break;
            case SEEK_CUR: base = std::int64_t(position_); break;
            case SEEK_END: base = size; break;
            default: return AVERROR(EINVAL);
        }
        if (offset < -base || offset > size - base) return AVERROR(EINVAL);
        position_ = std::size_t(base + offset);
        return std::int64_t(position_);
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

int readBytes(void* reader, std::uint8_t* buffer, int size) {
    return static_cast<ByteReader*>(reader)->read(buffer, size);
}

std::int64_t seekBytes(void* reader, std::int64_t offset, int whence) {
    return static_cast<ByteReader*>(reader)->seek(offset, whence);
}

int refuseOtherInputs(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

}  // namespace

std::int64_t seekDescriptor(int descriptor, std::int64_t offset, int whence) {
    if (whence & AVSEEK_SIZE) {
        struct stat status {};
        return ::fstat(descriptor, &status) == 0 ? std::int64_t(status.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(descriptor, off_t(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : std::int64_t(at);
}

Expected<std::unique_ptr<ByteReader>> openRegularFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return cannotOpen(path, errorText(AVERROR(errno)));
    }
    auto reader = std::make_unique<FileReader>(descriptor);
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return cannotOpen(path, errorText(AVERROR(errno)));
    }
    if (S_ISDIR(status.st_mode)) {
        return cannotOpen(path, errorText(AVERROR(EISDIR)));
    }
    if (!S_ISREG(status.st_mode)) {
        return cannotOpen(path, "not a regular file");
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags >= 0) ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
    return reader;
}

std::unique_ptr<ByteReader> readerOnMemory(std::span<const std::uint8_t> bytes) {
    return std::make_unique<MemoryReader>(bytes);
}

Expected<ByteInput> openByteInput(std::unique_ptr<ByteReader> reader, const std::string& name) {
    ByteInput opened;
    opened.reader = std::move(reader);
    constexpr int bufferSize = 1 << 16;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(bufferSize));
    if (!buffer) return cannotOpen(name, errorText(AVERROR(ENOMEM)));
    opened.io.reset(avio_alloc_context(buffer, bufferSize, 0, opened.reader.get(), &readBytes,
                                       nullptr, &seekBytes));
    if (!opened.io) {
        av_free(buffer);
        return cannotOpen(name, errorText(AVERROR(ENOMEM)));
    }

    AVFormatContext* format = avformat_alloc_context();
    if (!format) return cannotOpen(name, errorText(AVERROR(ENOMEM)));
    format->pb = opened.io.get();
    format->io_open = &refuseOtherInputs;
    // On failure the input is freed by FFmpeg itself.
    const int rc = avformat_open_input(&format, name.c_str(), nullptr, nullptr);
    if (rc < 0) return cannotOpen(name, errorText(rc));
    opened.format.reset(format);
    return opened;
}

}  // namespace autoframe::ffmpeg
