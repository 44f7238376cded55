#pragma once

// Clips made at test time whose frames tell which frame they are, and what tests ask of videos
// through the ffmpeg and ffprobe commands.

#include <cstdint>
#include <string>
#include <vector>

#include "core/frame.h"
#include "tests/support.h"

namespace autoframe::testing {

// 10 s at 25 frames per second, 160x96 gray, lossless: frame n shows n in binary as eight black
// or white blocks across its middle band, and a white marker in its top-left corner.
std::string patternMaster();

// A clip made from the pattern with these ffmpeg output options (then `finish` on the file).
std::string fromPattern(const std::string& name, const std::string& encoding,
                        const FixtureFinish& finish = {});

// H.264 as the tests encode it.
inline const std::string x264 = "-c:v libx264 -preset veryfast -pix_fmt yuv420p";

// The mean of B, G and R at (fx, fy), fractions of the frame's width and height.
double brightness(const Frame& frame, double fx, double fy);

// The times of `frames` frames at `fps` from 0.
std::vector<double> evenTimes(int frames, double fps);

std::vector<std::uint8_t> readBytes(const std::string& path);

// The fixture step that writes this display matrix (rotation and mirroring, as cameras and phones
// store it) into the video track header of an MP4 or MOV file.
FixtureFinish withDisplayMatrix(int a, int b, int c, int d);

// The standard output of a shell command ("" when it cannot run).
std::string commandOutput(const std::string& command);

// The md5 of the first audio stream's packets, as the ffmpeg command copies them.
std::string audioPacketsMd5(const std::string& path);

}  // namespace autoframe::testing
