#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace autoframe {

// The process services the driver needs: its arguments and its two standard streams.
class Process {
public:
    virtual ~Process() = default;
    virtual std::vector<std::string> arguments() const = 0;  // program name first
    // Each hands the whole block to the stream before returning.
    virtual void writeStandardOutput(std::string_view bytes) = 0;
    virtual void writeStandardError(std::string_view bytes) = 0;
    // Standard error is a terminal a person watches (not a file or a pipe).
    virtual bool standardErrorIsTerminal() const = 0;
};

}  // namespace autoframe
