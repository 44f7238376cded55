#include "platform/frame_source.h"

namespace autoframe {
namespace {

// Placeholder until decoding is wired in: refuses every request.
class UnavailableFrameSource final : public FrameSource {
public:
    explicit UnavailableFrameSource(std::string path) : path_(std::move(path)) {}
    Expected<TimedFrame> frameAt(double) override {
        return fail("AutoFramingVideo", 1, "cannot decode '" + path_ + "': no decoder in this build");
    }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<FrameSource> openFrameSource(const std::string& path) {
    return std::make_unique<UnavailableFrameSource>(path);
}

}  // namespace autoframe
