#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace autoframe {

// One box found in a frame, in fractions of the frame, origin at the top-left corner.
class Observation {
public:
    enum class CodingKeys { x, y, width, height, confidence };

    Observation(double x, double y, double width, double height, double confidence)
        : x_(x), y_(y), width_(width), height_(height), confidence_(confidence) {}

    double x() const { return x_; }
    double y() const { return y_; }
    double width() const { return width_; }
    double height() const { return height_; }
    double confidence() const { return confidence_; }

    friend bool operator==(const Observation&, const Observation&) = default;

private:
    double x_, y_, width_, height_, confidence_;
};

// Everything computed for one analysed frame.
class Sample {
public:
    enum class CodingKeys { timeSeconds, sceneScore, faces, humans };

    Sample(double timeSeconds, double sceneScore, std::vector<Observation> faces,
           std::vector<Observation> humans)
        : timeSeconds_(timeSeconds),
          sceneScore_(sceneScore),
          faces_(std::move(faces)),
          humans_(std::move(humans)) {}

    double timeSeconds() const { return timeSeconds_; }
    double sceneScore() const { return sceneScore_; }
    const std::vector<Observation>& faces() const { return faces_; }
    const std::vector<Observation>& humans() const { return humans_; }

    friend bool operator==(const Sample&, const Sample&) = default;

private:
    double timeSeconds_, sceneScore_;
    std::vector<Observation> faces_, humans_;
};

// The key texts, in field order; a key's ordinal is its position.
template <class Keys>
constexpr auto keyTexts();

template <>
constexpr auto keyTexts<Observation::CodingKeys>() {
    return std::array<std::string_view, 5>{"x", "y", "width", "height", "confidence"};
}

template <>
constexpr auto keyTexts<Sample::CodingKeys>() {
    return std::array<std::string_view, 4>{"timeSeconds", "sceneScore", "faces", "humans"};
}

template <class Keys>
constexpr std::string_view stringValue(Keys key) {
    return keyTexts<Keys>()[static_cast<std::size_t>(key)];
}

// The key whose text is exactly `text` (case-sensitive, no trimming), or none.
template <class Keys>
constexpr std::optional<Keys> keyFromString(std::string_view text) {
    constexpr auto texts = keyTexts<Keys>();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == text) return static_cast<Keys>(i);
    }
    return std::nullopt;
}

// Keys have no integer values: both directions give none.
template <class Keys>
constexpr std::optional<int> intValue(Keys) {
    return std::nullopt;
}

template <class Keys>
constexpr std::optional<Keys> keyFromInt(int) {
    return std::nullopt;
}

}  // namespace autoframe
