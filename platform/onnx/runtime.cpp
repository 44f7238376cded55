#include "platform/onnx/runtime.h"

#include <algorithm>
#include <initializer_list>
#include <mutex>
#include <utility>

#include <onnxruntime_c_api.h>

namespace autoframe::onnx {
namespace {

// The API of the version these headers declare; null when the library is older.
const OrtApi* api() {
    static const OrtApi* const table = OrtGetApiBase()->GetApi(ORT_API_VERSION);
    return table;
}

std::unexpected<Error> failure(std::string message, std::int64_t code = ORT_FAIL) {
    std::replace(message.begin(), message.end(), '\n', ' ');
    while (!message.empty() && message.back() == ' ') message.pop_back();
    return fail("OnnxRuntime", code, std::move(message));
}

// Turns a status into an error value carrying the runtime's message, and releases it.
Expected<void> check(OrtStatus* status) {
    if (status == nullptr) return {};
    const std::int64_t code = api()->GetErrorCode(status);
    std::string message = api()->GetErrorMessage(status);
    api()->ReleaseStatus(status);
    return failure(std::move(message), code);
}

// Checks statuses made one after the other: all are released, the first failure is returned.
Expected<void> checkAll(std::initializer_list<OrtStatus*> statuses) {
    Expected<void> first;
    for (OrtStatus* status : statuses) {
        auto ok = check(status);
        if (!ok && first) first = std::move(ok);
    }
    return first;
}

// The runtime's log messages go nowhere: stderr carries the failure line and nothing else.
void discardLog(void*, OrtLoggingLevel, const char*, const char*, const char*, const char*) {}

struct EnvDeleter {
    void operator()(OrtEnv* env) const { api()->ReleaseEnv(env); }
};
struct MemoryInfoDeleter {
    void operator()(OrtMemoryInfo* info) const { api()->ReleaseMemoryInfo(info); }
};
struct OptionsDeleter {
    void operator()(OrtSessionOptions* options) const { api()->ReleaseSessionOptions(options); }
};
struct ShapeInfoDeleter {
    void operator()(OrtTensorTypeAndShapeInfo* info) const {
        api()->ReleaseTensorTypeAndShapeInfo(info);
    }
};

// Reads one of the session's input or output names, freeing the runtime's copy.
template <class GetName>
Expected<std::string> sessionName(GetName getName, const OrtSession* session, std::size_t index) {
    OrtAllocator* allocator = nullptr;
    if (auto ok = check(api()->GetAllocatorWithDefaultOptions(&allocator)); !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    char* name = nullptr;
    if (auto ok = check((api()->*getName)(session, index, allocator, &name)); !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    std::string copy = name;
    (void)check(api()->AllocatorFree(allocator, name));
    return copy;
}

}  // namespace

void SessionDeleter::operator()(OrtSession* session) const { api()->ReleaseSession(session); }
void ValueDeleter::operator()(OrtValue* value) const { api()->ReleaseValue(value); }

// The runtime's process-wide state, shared by every model alive at the same time.
class Environment {
public:
    static Expected<std::shared_ptr<Environment>> shared() {
        static std::mutex mutex;
        static std::weak_ptr<Environment> current;
        const std::lock_guard lock(mutex);
        if (auto alive = current.lock()) return alive;
        if (api() == nullptr) {
            return failure("the ONNX Runtime library does not offer API version " +
                           std::to_string(ORT_API_VERSION) + " (it is older than 1.29)");
        }
        auto made = std::shared_ptr<Environment>(new Environment);
        OrtEnv* env = nullptr;
        if (auto ok = check(api()->CreateEnvWithCustomLogger(
                discardLog, nullptr, ORT_LOGGING_LEVEL_FATAL, "autoframe", &env));
            !ok) {
            return std::unexpected(std::move(ok.error()));
        }
        made->env.reset(env);
        OrtMemoryInfo* info = nullptr;
        if (auto ok =
                check(api()->CreateCpuMemoryInfo(OrtArenaAllocator, OrtMemTypeDefault, &info));
            !ok) {
            return std::unexpected(std::move(ok.error()));
        }
        made->cpu.reset(info);
        current = made;
        return made;
    }

    std::unique_ptr<OrtEnv, EnvDeleter> env;
    std::unique_ptr<OrtMemoryInfo, MemoryInfoDeleter> cpu;

private:
    Environment() = default;
};

Model::Model() = default;
Model::Model(Model&&) noexcept = default;
Model& Model::operator=(Model&&) noexcept = default;
Model::~Model() {
    // Values and session go before the environment they were made in.
    outputs_.clear();
    session_.reset();
}

Expected<Model> Model::load(std::span<const std::byte> bytes, const Threads& threads,
                            std::vector<std::string> outputs) {
    auto environment = Environment::shared();
    if (!environment) return std::unexpected(std::move(environment.error()));
    Model model;
    model.environment_ = std::move(*environment);

    OrtSessionOptions* rawOptions = nullptr;
    if (auto ok = check(api()->CreateSessionOptions(&rawOptions)); !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    const std::unique_ptr<OrtSessionOptions, OptionsDeleter> options(rawOptions);
    if (auto ok =
            checkAll({api()->SetIntraOpNumThreads(rawOptions, threads.count),
                      api()->AddSessionConfigEntry(rawOptions, "session.intra_op.allow_spinning",
                                                   threads.spin ? "1" : "0"),
                      api()->SetInterOpNumThreads(rawOptions, 1),
                      api()->SetSessionExecutionMode(rawOptions, ORT_SEQUENTIAL),
                      api()->SetSessionGraphOptimizationLevel(rawOptions, ORT_ENABLE_ALL),
                      api()->SetSessionLogSeverityLevel(rawOptions, ORT_LOGGING_LEVEL_FATAL)});
        !ok) {
        return std::unexpected(std::move(ok.error()));
    }

    OrtSession* session = nullptr;
    if (auto ok = check(api()->CreateSessionFromArray(model.environment_->env.get(), bytes.data(),
                                                      bytes.size(), rawOptions, &session));
        !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    model.session_.reset(session);

    auto input = sessionName(&OrtApi::SessionGetInputName, session, 0);
    if (!input) return std::unexpected(std::move(input.error()));
    model.inputName_ = std::move(*input);
    if (outputs.empty()) {
        std::size_t count = 0;
        if (auto ok = check(api()->SessionGetOutputCount(session, &count)); !ok) {
            return std::unexpected(std::move(ok.error()));
        }
        for (std::size_t i = 0; i < count; ++i) {
            auto name = sessionName(&OrtApi::SessionGetOutputName, session, i);
            if (!name) return std::unexpected(std::move(name.error()));
            outputs.push_back(std::move(*name));
        }
    }
    model.outputNames_ = std::move(outputs);
    return model;
}

Expected<void> Model::run(std::span<float> input, std::span<const std::int64_t> shape) {
    OrtValue* rawInput = nullptr;
    if (auto ok = check(api()->CreateTensorWithDataAsOrtValue(
            environment_->cpu.get(), input.data(), input.size_bytes(), shape.data(), shape.size(),
            ONNX_TENSOR_ELEMENT_DATA_TYPE_FLOAT, &rawInput));
        !ok) {
        return ok;
    }
    const ValueOwner inputValue(rawInput);

    std::vector<const char*> names;
    for (const std::string& name : outputNames_) names.push_back(name.c_str());
    std::vector<OrtValue*> results(names.size(), nullptr);
    const char* inputName = inputName_.c_str();
    outputs_.clear();
    auto ok = check(api()->Run(session_.get(), nullptr, &inputName, &rawInput, 1, names.data(),
                               names.size(), results.data()));
    for (OrtValue* value : results) outputs_.emplace_back(value);
    if (!ok) outputs_.clear();
    return ok;
}

Expected<Tensor> Model::output(std::size_t index) const {
    if (index >= outputs_.size() || outputs_[index] == nullptr) {
        return failure("the model gave no output " + std::to_string(index));
    }
    OrtValue* value = outputs_[index].get();
    OrtTensorTypeAndShapeInfo* rawInfo = nullptr;
    if (auto ok = check(api()->GetTensorTypeAndShape(value, &rawInfo)); !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    const std::unique_ptr<OrtTensorTypeAndShapeInfo, ShapeInfoDeleter> info(rawInfo);
    ONNXTensorElementDataType type = ONNX_TENSOR_ELEMENT_DATA_TYPE_UNDEFINED;
    std::size_t dimensions = 0;
    std::size_t count = 0;
    if (auto ok = check(api()->GetTensorElementType(rawInfo, &type)); !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    if (type != ONNX_TENSOR_ELEMENT_DATA_TYPE_FLOAT) {
        return failure("output '" + outputNames_[index] + "' does not hold floats");
    }
    Tensor tensor;
    if (auto ok = checkAll({api()->GetDimensionsCount(rawInfo, &dimensions),
                            api()->GetTensorShapeElementCount(rawInfo, &count)});
        !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    tensor.shape.resize(dimensions);
    if (auto ok = check(api()->GetDimensions(rawInfo, tensor.shape.data(), dimensions)); !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    void* data = nullptr;
    if (auto ok = check(api()->GetTensorMutableData(value, &data)); !ok) {
        return std::unexpected(std::move(ok.error()));
    }
    tensor.values = {static_cast<const float*>(data), count};
    return tensor;
}

}  // namespace autoframe::onnx
