#include "planning/crop_path_reader.h"

#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "core/number_text.h"
#include "results/json_value.h"

namespace autoframe {
namespace {

constexpr std::array<std::string_view, 2> planNames{"frames", "shots"};
constexpr std::array<std::string_view, 5> frameNames{"time", "x", "y", "width", "height"};
constexpr std::array<std::string_view, 3> shotNames{"start", "end", "mode"};

// A whole number of pixels, at least `least`.
Expected<int> pixelsOf(const JsonValue& value, int least, const std::string& where) {
    auto number = jsonNumber(value, where);
    if (!number) return std::unexpected(std::move(number.error()));
    if (*number != std::floor(*number) || *number < least || *number > INT_MAX) {
        return jsonShapeError(where, value,
                              "expected a whole number of pixels from " + std::to_string(least) +
                                  ", found " + numberText(*number));
    }
    return int(*number);
}

// Frame `index`, whose time may not be earlier than `before` (the frame before's).
Expected<PlannedFrame> decodeFrame(const JsonValue& object, std::size_t index, double before) {
    const std::string where = "frame " + std::to_string(index);
    auto members = jsonMembers(object, frameNames, where);
    if (!members) return std::unexpected(std::move(members.error()));
    PlannedFrame frame;
    auto time = jsonNumber(*(*members)[0], jsonMemberWhere(where, frameNames[0]));
    if (!time) return std::unexpected(std::move(time.error()));
    if (*time < before) {
        return jsonShapeError(jsonMemberWhere(where, frameNames[0]), *(*members)[0],
                              numberText(*time) + " s is earlier than the frame before (" +
                                  numberText(before) + " s)");
    }
    frame.time = *time;
    int* sides[] = {&frame.window.x, &frame.window.y, &frame.window.width, &frame.window.height};
    for (std::size_t k = 0; k < 4; ++k) {
        auto pixels =
            pixelsOf(*(*members)[k + 1], k < 2 ? 0 : 1, jsonMemberWhere(where, frameNames[k + 1]));
        if (!pixels) return std::unexpected(std::move(pixels.error()));
        *sides[k] = *pixels;
    }
    return frame;
}

// Shot `index`, which may not start before `before` (the end of the shot before).
Expected<PlannedShot> decodeShot(const JsonValue& object, std::size_t index, double before) {
    const std::string where = "shot " + std::to_string(index);
    auto members = jsonMembers(object, shotNames, where);
    if (!members) return std::unexpected(std::move(members.error()));
    PlannedShot shot;
    auto start = jsonNumber(*(*members)[0], jsonMemberWhere(where, shotNames[0]));
    if (!start) return std::unexpected(std::move(start.error()));
    if (*start < before) {
        return jsonShapeError(jsonMemberWhere(where, shotNames[0]), *(*members)[0],
                              numberText(*start) +
                                  " s is earlier than the end of the shot before (" +
                                  numberText(before) + " s)");
    }
    auto end = jsonNumber(*(*members)[1], jsonMemberWhere(where, shotNames[1]));
    if (!end) return std::unexpected(std::move(end.error()));
    if (*end < *start) {
        return jsonShapeError(
            jsonMemberWhere(where, shotNames[1]), *(*members)[1],
            numberText(*end) + " s is before the shot's start (" + numberText(*start) + " s)");
    }
    const JsonValue& mode = *(*members)[2];
    const auto modeName = [](CameraMode m) { return std::string(cameraModeName(m)); };
    if (mode.kind == JsonValue::Kind::string && mode.text == modeName(CameraMode::still)) {
        shot.mode = CameraMode::still;
    } else if (mode.kind == JsonValue::Kind::string && mode.text == modeName(CameraMode::follow)) {
        shot.mode = CameraMode::follow;
    } else {
        const std::string found =
            mode.kind == JsonValue::Kind::string ? "\"" + mode.text + "\"" : describeJson(mode);
        return jsonShapeError(jsonMemberWhere(where, shotNames[2]), mode,
                              "expected \"" + modeName(CameraMode::still) + "\" or \"" +
                                  modeName(CameraMode::follow) + "\", found " + found);
    }
    shot.start = *start;
    shot.end = *end;
    return shot;
}

}  // namespace

Expected<CropPlan> decodePlan(std::string_view json) {
    auto document = parseJson(json, "object");
    if (!document) return std::unexpected(std::move(document.error()));
    if (document->kind != JsonValue::Kind::object) {
        return jsonShapeError(
            "the text", *document,
            "expected an object of frames and shots, found " + describeJson(*document));
    }
    auto members = jsonMembers(*document, planNames, "the path");
    if (!members) return std::unexpected(std::move(members.error()));
    auto frames = jsonArray(*(*members)[0], "the path member \"frames\"", "frames");
    if (!frames) return std::unexpected(std::move(frames.error()));
    auto shots = jsonArray(*(*members)[1], "the path member \"shots\"", "shots");
    if (!shots) return std::unexpected(std::move(shots.error()));

    constexpr double infinity = std::numeric_limits<double>::infinity();
    CropPlan plan;
    for (std::size_t i = 0; i < (*frames)->size(); ++i) {
        const double before = plan.frames.empty() ? -infinity : plan.frames.back().time;
        auto frame = decodeFrame((**frames)[i], i, before);
        if (!frame) return std::unexpected(std::move(frame.error()));
        plan.frames.push_back(*frame);
    }
    for (std::size_t i = 0; i < (*shots)->size(); ++i) {
        const double before = plan.shots.empty() ? -infinity : plan.shots.back().end;
        auto shot = decodeShot((**shots)[i], i, before);
        if (!shot) return std::unexpected(std::move(shot.error()));
        plan.shots.push_back(*shot);
    }
    return plan;
}

}  // namespace autoframe
