#pragma once

#include "core/process.h"

namespace autoframe {

// The real process: argv and file descriptors 1 and 2.
class PosixProcess final : public Process {
public:
    PosixProcess(int argc, char** argv) : argc_(argc), argv_(argv) {}
    std::vector<std::string> arguments() const override;
    void writeStandardOutput(std::string_view bytes) override;
    void writeStandardError(std::string_view bytes) override;
    bool standardErrorIsTerminal() const override;

private:
    int argc_;
    char** argv_;
};

}  // namespace autoframe
