#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/error.h"

struct OrtSession;
struct OrtValue;

// A small owner layer over ONNX Runtime's C API: one model loaded into a session, run on one
// float input at a time. Every failure is an error value carrying ONNX Runtime's message; the
// runtime's own logging is off.
namespace autoframe::onnx {

struct SessionDeleter {
    void operator()(OrtSession* session) const;
};
struct ValueDeleter {
    void operator()(OrtValue* value) const;
};
using SessionOwner = std::unique_ptr<OrtSession, SessionDeleter>;
using ValueOwner = std::unique_ptr<OrtValue, ValueDeleter>;

class Environment;

// How a session runs its operators: on `count` threads (the caller's and count - 1 of the
// runtime's), which may spin between operators waiting for work (a quicker hand-over, but each
// spinning thread keeps a core from whatever else runs, such as decoding ahead).
struct Threads {
    int count = 1;
    bool spin = false;
};

// One float output of the last run: its shape and its values (valid until the next run).
struct Tensor {
    std::vector<std::int64_t> shape;
    std::span<const float> values;
};

class Model {
public:
    // Loads the model from its bytes (copied by the runtime; they need not outlive the call) into
    // a session whose operators run on `threads`. `outputs` names the outputs run() gives,
    // in order; empty for all of the model's outputs in the model's order.
    static Expected<Model> load(std::span<const std::byte> bytes, const Threads& threads,
                                std::vector<std::string> outputs = {});

    Model(Model&&) noexcept;
    Model& operator=(Model&&) noexcept;
    ~Model();

    // Runs the model on `input`, a float tensor of `shape` that run() reads in place; the outputs
    // are then output(0), output(1), ...
    Expected<void> run(std::span<float> input, std::span<const std::int64_t> shape);
    Expected<Tensor> output(std::size_t index) const;
    std::size_t outputCount() const { return outputNames_.size(); }

private:
    Model();

    std::shared_ptr<Environment> environment_;
    SessionOwner session_;
    std::string inputName_;
    std::vector<std::string> outputNames_;
    std::vector<ValueOwner> outputs_;
};

}  // namespace autoframe::onnx
