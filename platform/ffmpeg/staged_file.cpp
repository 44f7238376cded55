#include "platform/ffmpeg/staged_file.h"
#include "core/error_codes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace autoframe::reframe {
namespace {

std::string systemText(int code) { return std::strerror(code); }

}  // namespace

std::unexpected<Error> cannotWrite(const std::string& target, const std::string& reason) {
    return fail(ReframeCode::cannotWriteVideo, "cannot write '" + target + "': " + reason);
}

Expected<StagedFile> StagedFile::beside(const std::string& target) {
    const std::filesystem::path targetPath(target);
    if (target.empty() || !targetPath.has_filename())
        return cannotWrite(target, systemText(EISDIR));
    struct stat status {};
    if (::stat(target.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        return cannotWrite(target, systemText(EISDIR));
    }
    const std::filesystem::path folder = targetPath.parent_path();
    static std::atomic<unsigned> made{0};
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%ld-%u-%08x.part", long(::getpid()), made++,
                      unsigned(entropy()));
        const std::string name = "." + targetPath.filename().string() + suffix;
        const std::string path = (folder / name).string();
        const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) return StagedFile(target, path, descriptor);
        if (errno != EEXIST) return cannotWrite(target, systemText(errno));
    }
    return cannotWrite(target, systemText(EEXIST));
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)),
      path_(std::move(other.path_)),
      descriptor_(other.descriptor_),
      committed_(other.committed_) {
    other.descriptor_ = -1;
    other.committed_ = true;  // the moved-from shell owns no file
}

StagedFile::~StagedFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!committed_) ::unlink(path_.c_str());
}

Expected<void> StagedFile::commit() {
    if (committed_) return {};
    const int descriptor = descriptor_;
    descriptor_ = -1;
    // A failed close can be the first report of a failed write (network file systems).
    if (::close(descriptor) != 0) return cannotWrite(target_, systemText(errno));
    if (::rename(path_.c_str(), target_.c_str()) != 0)
        return cannotWrite(target_, systemText(errno));
    committed_ = true;
    return {};
}

}  // namespace autoframe::reframe
