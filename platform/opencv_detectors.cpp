#include "platform/opencv_detectors.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/models.h"

namespace autoframe {
namespace {

constexpr int strides[] = {8, 16, 32};

int roundUpTo32(int value) { return (value + 31) / 32 * 32; }

// Inputs narrower than this (a few cells at the coarsest stride) give the networks' deepest
// layers feature maps of one cell, on which OpenCV's results vary from call to call; small
// frames are padded up to it.
constexpr int minimumInputSide = 128;

std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// OpenCV's own message, without the source location that what() adds.
std::string describe(const cv::Exception& e) {
    if (e.err.empty()) return oneLine(e.what());
    if (e.code == cv::Error::StsAssert) return "assertion failed: " + oneLine(e.err);
    return oneLine(e.err);
}

// A box found in the network's input, before it is mapped back to the frame.
struct Candidate {
    cv::Rect2d box;  // input pixels, top-left origin
    float score;
};

// The box that cell k of a grid `columns` wide at `stride` predicts from its four numbers: the
// centre's offset from the cell's corner and the log of the size, both in cells.
cv::Rect2d cellBox(int k, int columns, int stride, const float* b) {
    const double cx = (k % columns + b[0]) * stride;
    const double cy = (k / columns + b[1]) * stride;
    const double w = std::exp(b[2]) * stride;
    const double h = std::exp(b[3]) * stride;
    return {cx - w / 2, cy - h / 2, w, h};
}

// One ONNX network run over whole frames: loads lazily, pads the (possibly resized) frame to
// multiples of 32 into an input blob kept across frames, and keeps the best boxes after NMS.
// Subclasses decode the raw outputs.
class OnnxDetector : public Detectors {
public:
    OnnxDetector(std::string name, std::span<const std::byte> model, const NetSettings& settings,
                 float padValue)
        : name_(std::move(name)), model_(model), settings_(settings), padValue_(padValue) {}

    Expected<Detections> detect(const Frame& frame) override {
        Detections found;
        auto boxes = find(frame);
        if (!boxes) return std::unexpected(std::move(boxes.error()));
        store(found, std::move(*boxes));
        return found;
    }

    // The boxes of this network, in frame pixels, best first.
    Expected<std::vector<PixelBox>> find(const Frame& frame) {
        try {
            return run(frame);
        } catch (const cv::Exception& e) {
            return failure(describe(e));
        } catch (const std::exception& e) {
            return failure(oneLine(e.what()));
        }
    }

protected:
    // Puts this network's boxes into their list.
    virtual void store(Detections& into, std::vector<PixelBox> boxes) const = 0;
    // Appends the boxes scoring at least `threshold` from the outputs of an input of this size;
    // the problem if the outputs are not shaped as expected.
    virtual std::optional<std::string> decode(const std::vector<cv::Mat>& outputs, cv::Size input, float threshold,
                        std::vector<Candidate>& into) const = 0;
    // Output names in the order decode() reads them; empty for all unconnected outputs.
    virtual std::vector<std::string> outputNames() const { return {}; }

private:
    std::unexpected<Error> failure(const std::string& message) const {
        return fail("AutoFramingDetection", 2, name_ + ": " + message);
    }

    Expected<std::vector<PixelBox>> run(const Frame& frame) {
        if (frame.width <= 0 || frame.height <= 0) return std::vector<PixelBox>{};
        const std::size_t expectedBytes = std::size_t(frame.width) * std::size_t(frame.height) * 3;
        if (frame.bgr.size() != expectedBytes) {
            return failure("a frame of " + std::to_string(frame.width) + "x" +
                           std::to_string(frame.height) + " holds " +
                           std::to_string(frame.bgr.size()) + " bytes instead of " +
                           std::to_string(expectedBytes));
        }
        if (!net_) {
            if (auto problem = load()) return failure("cannot load the model: " + *problem);
        }

        const cv::Mat image(frame.height, frame.width, CV_8UC3,
                            const_cast<std::uint8_t*>(frame.bgr.data()));
        const cv::Size scaled = scaledSize(frame);
        const cv::Size input(std::max(minimumInputSide, roundUpTo32(scaled.width)),
                             std::max(minimumInputSide, roundUpTo32(scaled.height)));
        fillBlob(image, scaled, input);

        net_->setInput(blob_);
        net_->forward(outputs_, names_);
        candidates_.clear();
        if (auto problem = decode(outputs_, input, settings_.scoreThreshold, candidates_)) {
            return failure(*problem);
        }

        // Back to frame pixels; too small boxes go before NMS so that they suppress nothing.
        const double toFrameX = double(frame.width) / scaled.width;
        const double toFrameY = double(frame.height) / scaled.height;
        boxes_.clear();
        scores_.clear();
        for (const Candidate& c : candidates_) {
            const cv::Rect2d box(c.box.x * toFrameX, c.box.y * toFrameY, c.box.width * toFrameX,
                                 c.box.height * toFrameY);
            // A degenerate input (e.g. one row of pixels) can overflow exp() into infinite sizes.
            if (!(std::isfinite(box.x) && std::isfinite(box.y) && std::isfinite(box.width) &&
                  std::isfinite(box.height))) {
                continue;
            }
            if (box.height < settings_.minHeight) continue;
            boxes_.push_back(box);
            scores_.push_back(c.score);
        }
        kept_.clear();
        cv::dnn::NMSBoxes(boxes_, scores_, settings_.scoreThreshold, settings_.nmsThreshold, kept_);

        std::vector<PixelBox> result;
        result.reserve(kept_.size());
        for (const int i : kept_) {
            const cv::Rect2d& b = boxes_[std::size_t(i)];
            result.push_back(PixelBox{b.x, b.y, b.width, b.height, scores_[std::size_t(i)]});
        }
        return result;
    }

    // Reads the network from the model bytes; the problem if it cannot.
    std::optional<std::string> load() {
        try {
            cv::dnn::Net net = cv::dnn::readNetFromONNX(
                reinterpret_cast<const char*>(model_.data()), model_.size());
            if (net.empty()) return "the model holds no network";
            net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
            net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
            names_ = outputNames();
            if (names_.empty()) names_ = net.getUnconnectedOutLayersNames();
            net_ = std::move(net);
            return std::nullopt;
        } catch (const cv::Exception& e) {
            return describe(e);
        }
    }

    cv::Size scaledSize(const Frame& frame) const {
        if (settings_.inputScale == 1.0) return {frame.width, frame.height};
        return {std::max(1, int(std::lround(frame.width * settings_.inputScale))),
                std::max(1, int(std::lround(frame.height * settings_.inputScale)))};
    }

    // The blob is 1 x 3 x input.height x input.width floats 0..255 in B, G, R planes: the scaled
    // frame at the top-left, the rest padding.
    void fillBlob(const cv::Mat& image, cv::Size scaled, cv::Size input) {
        const int shape[] = {1, 3, input.height, input.width};
        if (blob_.dims != 4 || blob_.size[2] != input.height || blob_.size[3] != input.width) {
            blob_.create(4, shape, CV_32F);
        }
        const cv::Mat* source = &image;
        if (scaled != image.size()) {
            cv::resize(image, resized_, scaled, 0, 0,
                       scaled.width < image.cols ? cv::INTER_AREA : cv::INTER_LINEAR);
            source = &resized_;
        }
        cv::split(*source, channels_);
        for (int c = 0; c < 3; ++c) {
            cv::Mat plane(input.height, input.width, CV_32F, blob_.ptr<float>(0, c));
            cv::Mat inside = plane(cv::Rect(0, 0, scaled.width, scaled.height));
            channels_[std::size_t(c)].convertTo(inside, CV_32F);
            if (scaled.width < input.width) {
                plane(cv::Rect(scaled.width, 0, input.width - scaled.width, input.height))
                    .setTo(padValue_);
            }
            if (scaled.height < input.height) {
                plane(cv::Rect(0, scaled.height, scaled.width, input.height - scaled.height))
                    .setTo(padValue_);
            }
        }
    }

    std::string name_;
    std::span<const std::byte> model_;
    NetSettings settings_;
    float padValue_;

    std::optional<cv::dnn::Net> net_;
    std::vector<std::string> names_;
    // Kept across frames so that their memory is reused.
    cv::Mat blob_;
    cv::Mat resized_;
    std::vector<cv::Mat> channels_;
    std::vector<cv::Mat> outputs_;
    std::vector<Candidate> candidates_;
    std::vector<cv::Rect2d> boxes_;
    std::vector<float> scores_;
    std::vector<int> kept_;
};

// YuNet: per stride, a grid of cells in row-major order, each with a class score, an objectness,
// a box (centre offset in cells, log size in cells) and five landmarks (unused).
class YuNetDetector final : public OnnxDetector {
public:
    YuNetDetector(std::span<const std::byte> model, const NetSettings& settings)
        : OnnxDetector("face detector", model, settings, 0.0f) {}

private:
    void store(Detections& into, std::vector<PixelBox> boxes) const override {
        into.faces = std::move(boxes);
    }

    std::vector<std::string> outputNames() const override {
        return {"cls_8", "cls_16", "cls_32", "obj_8", "obj_16", "obj_32",
                "bbox_8", "bbox_16", "bbox_32"};
    }

    std::optional<std::string> decode(const std::vector<cv::Mat>& outputs, cv::Size input,
                                      float threshold,
                                      std::vector<Candidate>& into) const override {
        for (std::size_t level = 0; level < 3; ++level) {
            const int stride = strides[level];
            const int columns = input.width / stride;
            const int cells = columns * (input.height / stride);
            const cv::Mat& cls = outputs[level];
            const cv::Mat& obj = outputs[3 + level];
            const cv::Mat& bbox = outputs[6 + level];
            if (cls.total() != std::size_t(cells) || obj.total() != std::size_t(cells) ||
                bbox.total() != std::size_t(cells) * 4 || cls.type() != CV_32F ||
                obj.type() != CV_32F || bbox.type() != CV_32F) {
                return "the stride " + std::to_string(stride) + " outputs do not hold " +
                       std::to_string(cells) + " cells of floats for an input of " +
                       std::to_string(input.width) + "x" + std::to_string(input.height);
            }
            const float* clsData = cls.ptr<float>();
            const float* objData = obj.ptr<float>();
            const float* bboxData = bbox.ptr<float>();
            for (int k = 0; k < cells; ++k) {
                const float score = std::sqrt(std::clamp(clsData[k], 0.0f, 1.0f) *
                                              std::clamp(objData[k], 0.0f, 1.0f));
                if (!(score >= threshold)) continue;
                into.push_back({cellBox(k, columns, stride, bboxData + 4 * k), score});
            }
        }
        return std::nullopt;
    }
};

// YOLOX: one output of rows for strides 8, 16, 32, each a grid in row-major order; a row holds a
// box (centre offset in cells, log size in cells), an objectness and 80 COCO class probabilities,
// the first of which is "person".
class YoloxPersonDetector final : public OnnxDetector {
public:
    YoloxPersonDetector(std::span<const std::byte> model, const NetSettings& settings)
        : OnnxDetector("human detector", model, settings, 114.0f) {}

private:
    static constexpr int rowLength = 85;

    void store(Detections& into, std::vector<PixelBox> boxes) const override {
        into.humans = std::move(boxes);
    }

    std::optional<std::string> decode(const std::vector<cv::Mat>& outputs, cv::Size input,
                                      float threshold,
                                      std::vector<Candidate>& into) const override {
        if (outputs.size() != 1) {
            return "the model gives " + std::to_string(outputs.size()) + " outputs instead of 1";
        }
        const cv::Mat& out = outputs[0];
        std::size_t rows = 0;
        for (const int stride : strides) rows += (input.width / stride) * (input.height / stride);
        if (out.total() != rows * rowLength || out.type() != CV_32F) {
            return "the output does not hold " + std::to_string(rows) + " rows of " +
                   std::to_string(rowLength) + " floats for an input of " +
                   std::to_string(input.width) + "x" + std::to_string(input.height);
        }
        const float* row = out.ptr<float>();
        for (const int stride : strides) {
            const int columns = input.width / stride;
            const int cells = columns * (input.height / stride);
            for (int k = 0; k < cells; ++k, row += rowLength) {
                const float score = row[4] * row[5];
                if (!(score >= threshold)) continue;
                into.push_back({cellBox(k, columns, stride, row), score});
            }
        }
        return std::nullopt;
    }
};

// Faces first, then humans; the first failure is the frame's failure.
class BothDetectors final : public Detectors {
public:
    BothDetectors(std::span<const std::byte> faceModel, std::span<const std::byte> humanModel,
                  const NetSettings& faces, const NetSettings& humans)
        : faces_(faceModel, faces), humans_(humanModel, humans) {}

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

std::unique_ptr<Detectors> makeOpenCvDetectors() {
    return makeOpenCvDetectors(openCvFaceModel(), openCvHumanModel());
}

std::unique_ptr<Detectors> makeOpenCvDetectors(std::span<const std::byte> faceModel,
                                               std::span<const std::byte> humanModel,
                                               const NetSettings& faces,
                                               const NetSettings& humans) {
    return std::make_unique<BothDetectors>(faceModel, humanModel, faces, humans);
}

std::unique_ptr<Detectors> makeOpenCvFaceDetector(std::span<const std::byte> model,
                                                  const NetSettings& settings) {
    return std::make_unique<YuNetDetector>(model, settings);
}

std::unique_ptr<Detectors> makeOpenCvHumanDetector(std::span<const std::byte> model,
                                                   const NetSettings& settings) {
    return std::make_unique<YoloxPersonDetector>(model, settings);
}

}  // namespace autoframe
