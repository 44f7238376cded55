#include "results/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "core/text.h"
#include "results/json_reader.h"

namespace autoframe {

std::expected<std::string, std::string> readWholeFile(const std::string& path) {
    const auto cannot = [&] {
        return std::unexpected("cannot read " + quoted(path) + ": " + std::strerror(errno));
    };
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return cannot();
    std::string bytes;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(descriptor, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            auto error = cannot();
            ::close(descriptor);
            return error;
        }
        bytes.append(buffer, std::size_t(n));
    }
    ::close(descriptor);
    return bytes;
}

std::expected<void, std::string> writeWholeFile(const std::string& path, const std::string& bytes) {
    const std::string partial = path + ".partial-" + std::to_string(::getpid());
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    if (!file) return std::unexpected("cannot write " + quoted(path) + ": " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    const int closeErrno = errno;
    if (!written || !closed) {
        std::remove(partial.c_str());
        return std::unexpected("cannot write " + quoted(path) + ": " +
                               std::strerror(!written ? writeErrno : closeErrno));
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        const int renameErrno = errno;
        std::remove(partial.c_str());
        return std::unexpected("cannot write " + quoted(path) + ": " + std::strerror(renameErrno));
    }
    return {};
}

std::expected<std::vector<Sample>, std::string> readSamplesFile(const std::string& path) {
    auto json = readWholeFile(path);
    if (!json) return std::unexpected(std::move(json.error()));
    auto samples = decodeSamples(*json);
    if (!samples) {
        return std::unexpected(quoted(path) +
                               " is not a list of samples: " + samples.error().description);
    }
    return std::move(*samples);
}

}  // namespace autoframe
