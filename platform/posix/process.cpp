#include "platform/posix/process.h"

#include <unistd.h>
#include <cerrno>

namespace autoframe {
namespace {

// Hands the whole block to the descriptor; a pipe may take it in several pieces. A failed write
// is not reported: there is nowhere left to report it.
void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

std::vector<std::string> PosixProcess::arguments() const {
    return std::vector<std::string>(argv_, argv_ + argc_);
}

void PosixProcess::writeStandardOutput(std::string_view bytes) { writeAll(STDOUT_FILENO, bytes); }

void PosixProcess::writeStandardError(std::string_view bytes) { writeAll(STDERR_FILENO, bytes); }

bool PosixProcess::standardErrorIsTerminal() const { return ::isatty(STDERR_FILENO) == 1; }

}  // namespace autoframe
