#pragma once

// Turns decoded pictures into the encoder's pictures: the window cut out of the stored picture,
// scaled to the output size, turned upright, 8-bit 4:2:0.

#include <map>
#include <string>
#include <tuple>

#include "core/error.h"
#include "platform/ffmpeg/owners.h"
#include "reframe/crop_geometry.h"

namespace autoframe::reframe {

// The colour description the encoder tags its output with; the pixels keep the source's values
// (a YUV source) or are converted with BT.601 into limited range (any other).
struct OutputColour {
    AVColorRange range = AVCOL_RANGE_MPEG;
    AVColorSpace space = AVCOL_SPC_UNSPECIFIED;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
};
OutputColour outputColourOf(const AVFrame& picture);

class CroppedPictures {
public:
    CroppedPictures(std::string name, EvenSize output, Orientation turn)
        : name_(std::move(name)), output_(output), turn_(turn) {}

    // The grid a window's corner snaps to in this picture: its chroma subsampling (1 for formats
    // cut after a conversion of the whole picture).
    std::pair<int, int> grid(const AVFrame& picture) const;

    // The encoder's picture for the stored rectangle (which lies inside the picture): a reference
    // into the decoded picture when nothing needs scaling, turning or converting, else a
    // picture of its own. Valid until the next call; its timestamp is the caller's to set.
    Expected<AVFrame*> crop(const AVFrame& picture, const PixelRect& rect);

private:
    Expected<const AVFrame*> cuttable(const AVFrame& picture);
    Expected<void> scale(const AVFrame& picture, const PixelRect& rect, AVFrame& into);
    Expected<void> ensureBuffer(ffmpeg::FrameOwner& frame, int width, int height);
    std::unexpected<Error> cannotConvert(AVPixelFormat from, int width, int height, int toWidth,
                                         int toHeight) const;

    std::string name_;
    EvenSize output_;
    Orientation turn_;

    ffmpeg::FrameOwner reference_;  // the decoded picture, its pointers moved to the window
    ffmpeg::FrameOwner
        whole_;  // the whole picture converted, for formats that cannot be cut in place
    ffmpeg::FrameOwner stored_;   // scaled, still as stored (for turning)
    ffmpeg::FrameOwner encoded_;  // what the encoder gets
    ffmpeg::ScalerOwner wholeScaler_;
    // Scalers by cut size and source format: a zooming window changes size often and back.
    std::map<std::tuple<int, int, int>, ffmpeg::ScalerOwner> scalers_;
};

}  // namespace autoframe::reframe
