#include "platform/onnx/detectors.h"

#include <array>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/error_codes.h"
#include "platform/onnx/input_planes.h"
#include "platform/onnx/models.h"
#include "platform/onnx/runtime.h"
#include "platform/onnx/thread_shares.h"

namespace autoframe {
namespace {

// One network over whole frames: resizes the frame into an input buffer kept across frames
// (planes of floats 0..255 in the network's order, padded on the right and bottom) and runs it;
// the subclass reads the outputs as boxes in frame pixels.
class NetworkDetector : public Detectors {
public:
    NetworkDetector(std::string name, std::span<const std::byte> model, const NetSettings& settings,
                    const onnx::Threads& threads, PlaneOrder order, float padValue)
        : name_(std::move(name)),
          model_(model),
          settings_(settings),
          threads_(threads),
          order_(order),
          padValue_(padValue) {}

    Expected<Detections> detect(const Frame& frame) override {
        auto boxes = find(frame);
        if (!boxes) return std::unexpected(std::move(boxes.error()));
        Detections found;
        store(found, std::move(*boxes));
        return found;
    }

    // The boxes of this network, in frame pixels, best first.
    virtual Expected<std::vector<PixelBox>> find(const Frame& frame) = 0;

protected:
    // Runs the network over the frame resized by inputScale; the layout of its input, or nullopt
    // for a frame without pixels (which has nothing to find). The outputs are then network()'s.
    Expected<std::optional<InputLayout>> run(const Frame& frame, double inputScale) {
        if (frame.width <= 0 || frame.height <= 0) return std::nullopt;
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

        const InputLayout layout = inputLayout({frame.width, frame.height}, inputScale);
        fillInput(frame, layout);
        const std::array<std::int64_t, 4> shape = inputShape(layout.input, order_);
        if (auto ran = network_->run(input_, shape); !ran) return failure(ran.error().description);
        return layout;
    }

    const onnx::Model& network() const { return *network_; }
    const NetSettings& settings() const { return settings_; }

    std::unexpected<Error> failure(const std::string& message) const {
        return fail(DetectionCode::detectorFailed, name_ + ": " + message);
    }

    // Puts this network's boxes into their list.
    virtual void store(Detections& into, std::vector<PixelBox> boxes) const = 0;
    // Output names in the order the subclass reads them; empty for all outputs in the model's
    // order.
    virtual std::vector<std::string> outputNames() const { return {}; }

private:
    // The frame, resized to layout.scaled, at the top-left of the input planes; padding elsewhere.
    void fillInput(const Frame& frame, const InputLayout& layout) {
        input_.resize(inputFloats(layout.input));
        const cv::Mat image(frame.height, frame.width, CV_8UC3,
                            const_cast<std::uint8_t*>(frame.bgr.data()));
        const cv::Size scaled(layout.scaled.width, layout.scaled.height);
        const cv::Mat* source = &image;
        if (scaled != image.size()) {
            cv::resize(image, resized_, scaled, 0, 0,
                       scaled.width < image.cols ? cv::INTER_AREA : cv::INTER_LINEAR);
            source = &resized_;
        }
        fillPlanes(source->data, layout.scaled, source->step[0], layout.input, order_, padValue_,
                   input_);
    }

    std::string name_;
    std::span<const std::byte> model_;
    NetSettings settings_;
    onnx::Threads threads_;
    PlaneOrder order_;
    float padValue_;

    std::optional<onnx::Model> network_;
    // Kept across frames so that their memory is reused.
    std::vector<float> input_;
    cv::Mat resized_;
};

// The values of output `index`, or the problem.
Expected<std::span<const float>> values(const onnx::Model& network, std::size_t index) {
    auto tensor = network.output(index);
    if (!tensor) return std::unexpected(std::move(tensor.error()));
    return tensor->values;
}

// YuNet: per stride, a grid of cells with a class score, an objectness, a box and five landmarks.
// The candidates scoring at least settings.scoreThreshold are decoded and their overlaps
// suppressed; then the large ones the network is unsure of get a second look (FaceChecks).
class YuNetDetector final : public NetworkDetector {
public:
    YuNetDetector(std::span<const std::byte> model, const NetSettings& settings,
                  const FaceChecks& checks, const onnx::Threads& threads)
        : NetworkDetector("face detector", model, settings, threads, PlaneOrder::bgr, 0.0f),
          checks_(checks) {}

    Expected<std::vector<PixelBox>> find(const Frame& frame) override {
        auto faces = candidates(frame, settings().scoreThreshold, settings().inputScale);
        if (!faces) return std::unexpected(std::move(faces.error()));
        std::vector<PixelBox> boxes;
        boxes.reserve(faces->size());
        for (const FrameFace& face : *faces) boxes.push_back(face.box);
        boxes = keptBoxes(boxes, settings());

        const std::vector<Review> reviews = reviewFaces(boxes, checks_.secondLook, checks_.bySize);
        std::vector<PixelBox> kept;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (reviews[i] == Review::drop) continue;
            if (reviews[i] == Review::lookAgain) {
                auto again = foundInItsCrop(frame, boxes[i]);
                if (!again) return std::unexpected(std::move(again.error()));
                if (!*again) continue;
            }
            kept.push_back(boxes[i]);
        }
        return kept;
    }

    // The faces scoring at least `threshold` on the frame resized by inputScale, in frame pixels
    // with their landmarks, before suppression.
    Expected<std::vector<FrameFace>> candidates(const Frame& frame, float threshold,
                                                double inputScale) {
        auto layout = run(frame, inputScale);
        if (!layout) return std::unexpected(std::move(layout.error()));
        if (!*layout) return std::vector<FrameFace>{};
        std::array<YuNetLevel, 3> levels;
        for (std::size_t level = 0; level < levels.size(); ++level) {
            std::array<Expected<std::span<const float>>, 4> read = {
                values(network(), level), values(network(), 3 + level),
                values(network(), 6 + level), values(network(), 9 + level)};
            for (const auto& output : read) {
                if (!output) return failure(output.error().description);
            }
            levels[level] = {*read[0], *read[1], *read[2], *read[3]};
        }
        candidates_.clear();
        if (auto problem = decodeYuNet(levels, (*layout)->input, threshold, candidates_)) {
            return failure(*problem);
        }
        return frameFaces(candidates_, {frame.width, frame.height}, **layout);
    }

private:
    void store(Detections& into, std::vector<PixelBox> boxes) const override {
        into.faces = std::move(boxes);
    }

    // The second look at a face: whether the network finds it again in its crop of the frame.
    Expected<bool> foundInItsCrop(const Frame& frame, const PixelBox& face) {
        const SecondLook& look = checks_.secondLook;
        const LookCrop crop = lookCrop(face, look);
        crop_.width = crop.size;
        crop_.height = crop.size;
        crop_.bgr.resize(std::size_t(crop.size) * std::size_t(crop.size) * 3);
        const cv::Mat image(frame.height, frame.width, CV_8UC3,
                            const_cast<std::uint8_t*>(frame.bgr.data()));
        cv::Mat picture(crop.size, crop.size, CV_8UC3, crop_.bgr.data());
        const cv::Matx23d toCrop(crop.scale, 0, -crop.left * crop.scale, 0, crop.scale,
                                 -crop.top * crop.scale);
        cv::warpAffine(image, picture, toCrop, picture.size(), cv::INTER_LINEAR,
                       cv::BORDER_CONSTANT, cv::Scalar::all(0));
        auto found = candidates(crop_, look.score, 1.0);
        if (!found) return std::unexpected(std::move(found.error()));
        return foundAgain(face, crop, *found, look);
    }

    std::vector<std::string> outputNames() const override {
        return {"cls_8",  "cls_16",  "cls_32",  "obj_8", "obj_16", "obj_32",
                "bbox_8", "bbox_16", "bbox_32", "kps_8", "kps_16", "kps_32"};
    }

    FaceChecks checks_;
    // Kept across frames so that their memory is reused.
    std::vector<FaceCandidate> candidates_;
    Frame crop_;
};

// YOLOX without its input slicing, given the 12 planes it would slice its picture into (the
// padding's sub-samples are padding too); one output of rows for the three grids; the person
// class only.
class YoloxPersonDetector final : public NetworkDetector {
public:
    YoloxPersonDetector(std::span<const std::byte> model, const NetSettings& settings,
                        const onnx::Threads& threads)
        : NetworkDetector("human detector", model, settings, threads, PlaneOrder::parityBgr,
                          114.0f) {}

    Expected<std::vector<PixelBox>> find(const Frame& frame) override {
        auto layout = run(frame, settings().inputScale);
        if (!layout) return std::unexpected(std::move(layout.error()));
        if (!*layout) return std::vector<PixelBox>{};
        if (network().outputCount() != 1) {
            return failure("the model gives " + std::to_string(network().outputCount()) +
                           " outputs instead of 1");
        }
        auto rows = values(network(), 0);
        if (!rows) return failure(rows.error().description);
        candidates_.clear();
        if (auto problem = decodeYoloxPeople(*rows, (*layout)->input, settings().scoreThreshold,
                                             candidates_)) {
            return failure(*problem);
        }
        return frameBoxes(candidates_, {frame.width, frame.height}, **layout, settings());
    }

private:
    void store(Detections& into, std::vector<PixelBox> boxes) const override {
        into.humans = std::move(boxes);
    }

    std::vector<Candidate> candidates_;  // kept across frames so that its memory is reused
};

// One thread kept for the life of its owner (not one started for each frame), running one job at a
// time for it.
class Worker {
public:
    Worker() : thread_([this] { serve(); }) {}
    ~Worker() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Starts the job; the future is ready when it has run (carrying what it threw, if it threw).
    // One job at a time: the previous one's future must be ready.
    std::future<void> start(std::function<void()> job) {
        std::packaged_task<void()> task(std::move(job));
        std::future<void> done = task.get_future();
        {
            const std::lock_guard lock(mutex_);
            job_ = std::move(task);
        }
        wake_.notify_one();
        return done;
    }

private:
    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || job_.valid(); });
            if (!job_.valid()) return;
            std::packaged_task<void()> job = std::move(job_);
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::packaged_task<void()> job_;
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once the members it uses exist
};

// Faces and humans, one network after the other or side by side. The detections are the same
// either way; when both networks fail, the face network's failure is the frame's failure.
class BothDetectors final : public Detectors {
public:
    BothDetectors(std::span<const std::byte> faceModel, std::span<const std::byte> humanModel,
                  const NetSettings& faces, const NetSettings& humans,
                  const DetectorThreads& threads, const FaceChecks& checks)
        : faces_(faceModel, faces, checks, threads.faces),
          humans_(humanModel, humans, threads.humans) {
        if (threads.sideBySide) worker_.emplace();
    }

    Expected<Detections> detect(const Frame& frame) override {
        std::optional<Expected<std::vector<PixelBox>>> humans;
        std::future<void> humansDone;
        // The worker uses `humans` and `frame` until it is done, even when the faces throw.
        struct Waiter {
            std::future<void>& done;
            ~Waiter() {
                if (done.valid()) done.wait();
            }
        } waiter{humansDone};
        if (worker_) humansDone = worker_->start([&] { humans = humans_.find(frame); });
        auto faces = faces_.find(frame);
        if (worker_) {
            humansDone.get();
        } else if (faces) {
            humans = humans_.find(frame);
        }
        if (!faces) return std::unexpected(std::move(faces.error()));
        if (!*humans) return std::unexpected(std::move(humans->error()));
        return Detections{std::move(*faces), std::move(**humans)};
    }

private:
    YuNetDetector faces_;
    YoloxPersonDetector humans_;
    std::optional<Worker> worker_;  // last: its thread ends before the detectors it uses go
};

class OnnxFaceCandidateFinder final : public FaceCandidateFinder {
public:
    OnnxFaceCandidateFinder(std::span<const std::byte> model, const NetSettings& settings,
                            const onnx::Threads& threads)
        : faces_(model, settings, {}, threads), settings_(settings) {}

    Expected<std::vector<FrameFace>> find(const Frame& frame) override {
        return faces_.candidates(frame, settings_.scoreThreshold, settings_.inputScale);
    }

private:
    YuNetDetector faces_;
    NetSettings settings_;
};

}  // namespace

DetectorThreads helperDetectorThreads() {
    const ThreadShares shares = shareThreads(usableCores());
    return {.faces = {.count = shares.faces, .spin = false},
            .humans = {.count = shares.humans, .spin = false},
            .sideBySide = shares.sideBySide};
}

onnx::Threads loneNetworkThreads() { return {.count = usableCores(), .spin = false}; }

std::unique_ptr<Detectors> makeOnnxDetectors() {
    return makeOnnxDetectors(faceModel(), humanModel());
}

std::unique_ptr<Detectors> makeOnnxDetectors(std::span<const std::byte> faceModel,
                                             std::span<const std::byte> humanModel,
                                             const NetSettings& faces, const NetSettings& humans,
                                             const DetectorThreads& threads,
                                             const FaceChecks& checks) {
    return std::make_unique<BothDetectors>(faceModel, humanModel, faces, humans, threads, checks);
}

std::unique_ptr<Detectors> makeOnnxFaceDetector(std::span<const std::byte> model,
                                                const NetSettings& settings,
                                                const onnx::Threads& threads,
                                                const FaceChecks& checks) {
    return std::make_unique<YuNetDetector>(model, settings, checks, threads);
}

std::unique_ptr<Detectors> makeOnnxHumanDetector(std::span<const std::byte> model,
                                                 const NetSettings& settings,
                                                 const onnx::Threads& threads) {
    return std::make_unique<YoloxPersonDetector>(model, settings, threads);
}

std::unique_ptr<FaceCandidateFinder> makeOnnxFaceCandidateFinder(std::span<const std::byte> model,
                                                                 const NetSettings& settings,
                                                                 const onnx::Threads& threads) {
    return std::make_unique<OnnxFaceCandidateFinder>(model, settings, threads);
}

}  // namespace autoframe
