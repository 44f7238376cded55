#pragma once

// A file written beside its target under a name of its own, which takes the target's name only
// once complete: a failed run leaves neither a partial file nor a changed target. POSIX only.

#include <string>

#include "core/error.h"

namespace autoframe::reframe {

// "cannot write 'target': reason"
std::unexpected<Error> cannotWrite(const std::string& target, const std::string& reason);

class StagedFile {
public:
    // Creates an empty file in the target's folder, hidden, with a name no other file has; its
    // permissions are those of a new file (0666 less the umask). Fails when the folder cannot be
    // written or the target is a folder.
    static Expected<StagedFile> beside(const std::string& target);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&&) = delete;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    // Removes the file unless it was committed.
    ~StagedFile();

    // Open for writing and seeking; -1 once committed.
    int descriptor() const { return descriptor_; }
    const std::string& path() const { return path_; }
    const std::string& target() const { return target_; }

    // Closes the file and renames it to the target, replacing what is there.
    Expected<void> commit();

private:
    StagedFile(std::string target, std::string path, int descriptor)
        : target_(std::move(target)), path_(std::move(path)), descriptor_(descriptor) {}

    std::string target_;
    std::string path_;
    int descriptor_ = -1;
    bool committed_ = false;
};

}  // namespace autoframe::reframe
