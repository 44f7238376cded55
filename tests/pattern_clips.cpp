#include "tests/pattern_clips.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/text.h"

namespace autoframe::testing {
namespace {

// Writes a display matrix (16.16 fixed point) into the first track header of the file.
bool setDisplayMatrix(const std::string& path, int a, int b, int c, int d) {
    auto bytes = readBytes(path);
    const std::string tag = "tkhd";
    const auto found = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
    if (found == bytes.end()) return false;
    const std::size_t type = std::size_t(found - bytes.begin());
    const std::size_t matrix = type + (bytes[type + 4] == 1 ? 52 : 44);
    if (matrix + 36 > bytes.size()) return false;
    const auto put = [&](std::size_t index, std::int32_t value) {
        const auto u = std::uint32_t(value);
        for (int i = 0; i < 4; ++i) bytes[matrix + index * 4 + i] = std::uint8_t(u >> (24 - 8 * i));
    };
    put(0, a * 65536);
    put(1, b * 65536);
    put(3, c * 65536);
    put(4, d * 65536);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace

std::string patternMaster() {
    return makeFixture("pattern.mkv",
                       "-f lavfi -i \"color=black:s=160x96:r=25:d=10,format=gray,"
                       "geq=lum='if(lt(Y,24)*lt(X,24),255,if(gte(Y,24)*lt(Y,72),"
                       "255*mod(floor(N/pow(2,7-floor(X/20))),2),0))'\" -c:v ffv1");
}

std::string fromPattern(const std::string& name, const std::string& encoding,
                        const FixtureFinish& finish) {
    const std::string master = patternMaster();
    if (master.empty()) return "";
    return makeFixture(name, "-i " + quoted(master) + " " + encoding, finish);
}

double brightness(const Frame& frame, double fx, double fy) {
    const int x = std::min(frame.width - 1, int(fx * frame.width));
    const int y = std::min(frame.height - 1, int(fy * frame.height));
    const std::size_t at = (std::size_t(y) * std::size_t(frame.width) + std::size_t(x)) * 3;
    return (frame.bgr[at] + frame.bgr[at + 1] + frame.bgr[at + 2]) / 3.0;
}

std::vector<double> evenTimes(int frames, double fps) {
    std::vector<double> times;
    for (int n = 0; n < frames; ++n) times.push_back(n / fps);
    return times;
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

FixtureFinish withDisplayMatrix(int a, int b, int c, int d) {
    return {"display matrix " + std::to_string(a) + " " + std::to_string(b) + " " +
                std::to_string(c) + " " + std::to_string(d),
            [=](const std::string& file) { return setDisplayMatrix(file, a, b, c, d); }};
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
            out.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return out;
}

std::string audioPacketsMd5(const std::string& path) {
    return commandOutput("ffmpeg -nostdin -v error -i " + quoted(path) +
                         " -map 0:a:0 -c copy -f md5 -");
}

}  // namespace autoframe::testing
