#include "platform/onnx/detectors.h"
#include "core/error_codes.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/onnx/models.h"
#include "platform/onnx/runtime.h"

namespace autoframe {
namespace {

// One network over whole frames: resizes the frame into an input buffer kept across frames
// (B, G, R planes of floats 0..255, padded on the right and bottom), runs it, and hands the
// outputs to the subclass's decoder; the kept boxes come back in frame pixels.
class NetworkDetector : public Detectors {
public:
    NetworkDetector(std::string name, std::span<const std::byte> model, const NetSettings& settings,
                    const onnx::Threads& threads, float padValue)
        : name_(std::move(name)), model_(model), settings_(settings), threads_(threads),
          padValue_(padValue) {}

    Expected<Detections> detect(const Frame& frame) override {
        auto boxes = find(frame);
        if (!boxes) return std::unexpected(std::move(boxes.error()));
        Detections found;
        store(found, std::move(*boxes));
        return found;
    }

    // The boxes of this network, in frame pixels, best first.
    Expected<std::vector<PixelBox>> find(const Frame& frame) {
        if (frame.width <= 0 || frame.height <= 0) return std::vector<PixelBox>{};
        const std::size_t expectedBytes = std::size_t(frame.width) * std::size_t(frame.height) * 3;
        if (frame.bgr.size() != expectedBytes) {
            return failure("a frame of " + std::to_string(frame.width) + "x" +
                           std::to_string(frame.height) + " holds " +
                           std::to_string(frame.bgr.size()) + " bytes instead of " +
                           std::to_string(expectedBytes));
        }
        if (!network_) {
            auto loaded = onnx::Model::load(model_, threads_, outputNames());
            if (!loaded) return failure("cannot load the model: " + loaded.error().description);
            network_ = std::move(*loaded);
        }

        const Size size{frame.width, frame.height};
        const InputLayout layout = inputLayout(size, settings_.inputScale);
        fillInput(frame, layout);
        const std::array<std::int64_t, 4> shape = {1, 3, layout.input.height, layout.input.width};
        if (auto ran = network_->run(input_, shape); !ran) return failure(ran.error().description);

        candidates_.clear();
        if (auto problem = decode(*network_, layout.input, settings_.scoreThreshold, candidates_)) {
            return failure(*problem);
        }
        return frameBoxes(candidates_, size, layout, settings_);
    }

protected:
    // Puts this network's boxes into their list.
    virtual void store(Detections& into, std::vector<PixelBox> boxes) const = 0;
    // Output names in the order decode() reads them; empty for all outputs in the model's order.
    virtual std::vector<std::string> outputNames() const { return {}; }
    // Appends the candidates scoring at least `threshold` from the outputs of an input of this
    // size; the problem if the outputs are not what the decoder reads.
    virtual std::optional<std::string> decode(const onnx::Model& network, Size input,
                                              float threshold,
                                              std::vector<Candidate>& into) const = 0;

private:
    std::unexpected<Error> failure(const std::string& message) const {
        return fail(DetectionCode::detectorFailed, name_ + ": " + message);
    }

    // The frame, resized to layout.scaled, at the top-left of the input planes; padding elsewhere.
    void fillInput(const Frame& frame, const InputLayout& layout) {
        const int width = layout.input.width;
        const int height = layout.input.height;
        input_.resize(std::size_t(width) * std::size_t(height) * 3);
        const cv::Mat image(frame.height, frame.width, CV_8UC3,
                            const_cast<std::uint8_t*>(frame.bgr.data()));
        const cv::Size scaled(layout.scaled.width, layout.scaled.height);
        const cv::Mat* source = &image;
        if (scaled != image.size()) {
            cv::resize(image, resized_, scaled, 0, 0,
                       scaled.width < image.cols ? cv::INTER_AREA : cv::INTER_LINEAR);
            source = &resized_;
        }
        cv::split(*source, channels_);
        for (int c = 0; c < 3; ++c) {
            cv::Mat plane(height, width, CV_32F, input_.data() + std::size_t(c) * width * height);
            channels_[std::size_t(c)].convertTo(plane(cv::Rect(0, 0, scaled.width, scaled.height)),
                                                CV_32F);
            if (scaled.width < width) {
                plane(cv::Rect(scaled.width, 0, width - scaled.width, height)).setTo(padValue_);
            }
            if (scaled.height < height) {
                plane(cv::Rect(0, scaled.height, scaled.width, height - scaled.height))
                    .setTo(padValue_);
            }
        }
    }

    std::string name_;
    std::span<const std::byte> model_;
    NetSettings settings_;
    onnx::Threads threads_;
    float padValue_;

    std::optional<onnx::Model> network_;
    // Kept across frames so that their memory is reused.
    std::vector<float> input_;
    cv::Mat resized_;
    std::vector<cv::Mat> channels_;
    std::vector<Candidate> candidates_;
};

// The values of output `index`, or the problem.
Expected<std::span<const float>> values(const onnx::Model& network, std::size_t index) {
    auto tensor = network.output(index);
    if (!tensor) return std::unexpected(std::move(tensor.error()));
    return tensor->values;
}

// YuNet: per stride, a grid of cells with a class score, an objectness, a box and five landmarks
// (unused).
class YuNetDetector final : public NetworkDetector {
public:
    YuNetDetector(std::span<const std::byte> model, const NetSettings& settings,
                  const onnx::Threads& threads)
        : NetworkDetector("face detector", model, settings, threads, 0.0f) {}

private:
    void store(Detections& into, std::vector<PixelBox> boxes) const override {
        into.faces = std::move(boxes);
    }

    std::vector<std::string> outputNames() const override {
        return {"cls_8", "cls_16", "cls_32", "obj_8", "obj_16", "obj_32",
                "bbox_8", "bbox_16", "bbox_32"};
    }

    std::optional<std::string> decode(const onnx::Model& network, Size input, float threshold,
                                      std::vector<Candidate>& into) const override {
        std::array<YuNetLevel, 3> levels;
        for (std::size_t level = 0; level < levels.size(); ++level) {
            auto cls = values(network, level);
            auto obj = values(network, 3 + level);
            auto bbox = values(network, 6 + level);
            for (const auto* read : {&cls, &obj, &bbox}) {
                if (!*read) return read->error().description;
            }
            levels[level] = {*cls, *obj, *bbox};
        }
        return decodeYuNet(levels, input, threshold, into);
    }
};

// YOLOX: one output of rows for the three grids; the person class only.
class YoloxPersonDetector final : public NetworkDetector {
public:
    YoloxPersonDetector(std::span<const std::byte> model, const NetSettings& settings,
                  const onnx::Threads& threads)
        : NetworkDetector("human detector", model, settings, threads, 114.0f) {}

private:
    void store(Detections& into, std::vector<PixelBox> boxes) const override {
        into.humans = std::move(boxes);
    }

    std::optional<std::string> decode(const onnx::Model& network, Size input, float threshold,
                                      std::vector<Candidate>& into) const override {
        if (network.outputCount() != 1) {
            return "the model gives " + std::to_string(network.outputCount()) +
                   " outputs instead of 1";
        }
        auto rows = values(network, 0);
        if (!rows) return rows.error().description;
        return decodeYoloxPeople(*rows, input, threshold, into);
    }
};

// Faces first, then humans; the first failure is the frame's failure.
class BothDetectors final : public Detectors {
public:
    BothDetectors(std::span<const std::byte> faceModel, std::span<const std::byte> humanModel,
                  const NetSettings& faces, const NetSettings& humans,
                  const onnx::Threads& threads)
        : faces_(faceModel, faces, threads), humans_(humanModel, humans, threads) {}

    Expected<Detections> detect(const Frame& frame) override {
        auto faces = faces_.find(frame);
        if (!faces) return std::unexpected(std::move(faces.error()));
        auto humans = humans_.find(frame);
        if (!humans) return std::unexpected(std::move(humans.error()));
        return Detections{std::move(*faces), std::move(*humans)};
    }

private:
    YuNetDetector faces_;
    YoloxPersonDetector humans_;
};

}  // namespace

std::unique_ptr<Detectors> makeOnnxDetectors() {
    return makeOnnxDetectors(faceModel(), humanModel());
}

std::unique_ptr<Detectors> makeOnnxDetectors(std::span<const std::byte> faceModel,
                                             std::span<const std::byte> humanModel,
                                             const NetSettings& faces, const NetSettings& humans,
                                             const onnx::Threads& threads) {
    return std::make_unique<BothDetectors>(faceModel, humanModel, faces, humans, threads);
}

std::unique_ptr<Detectors> makeOnnxFaceDetector(std::span<const std::byte> model,
                                                const NetSettings& settings,
                  const onnx::Threads& threads) {
    return std::make_unique<YuNetDetector>(model, settings, threads);
}

std::unique_ptr<Detectors> makeOnnxHumanDetector(std::span<const std::byte> model,
                                                 const NetSettings& settings,
                  const onnx::Threads& threads) {
    return std::make_unique<YoloxPersonDetector>(model, settings, threads);
}

}  // namespace autoframe
