#include "results/json.h"

#include <cmath>
#include <cstddef>
#include <string_view>

#include "core/error_codes.h"
#include "core/number_text.h"

namespace autoframe {
namespace {

// Writes JSON objects and arrays into one string; separators are placed by the writer, not by
// its callers. The first value that has no JSON form stops the writing with an error.
class JsonWriter {
public:
    void beginArray() { open('['); }
    void endArray() { close(']'); }
    void beginObject() { open('{'); }
    void endObject() { close('}'); }

    void key(std::string_view name) {
        separate();
        text_ += '"';
        text_ += name;  // keys are plain ASCII names: nothing to escape
        text_ += "\":";
        afterKey_ = true;
    }

    Expected<void> number(double value, std::string_view what) {
        if (!std::isfinite(value)) {
            return fail(JsonCode::notANumber, "cannot encode " + std::string(what) + ": " +
                                                  (std::isnan(value) ? "NaN" : "an infinity") +
                                                  " has no JSON number form");
        }
        separate();
        text_ += numberText(value);  // shortest text that reads back as the same double
        return {};
    }

    std::string take() { return std::move(text_); }

private:
    void separate() {
        if (afterKey_) {
            afterKey_ = false;
        } else if (needComma_) {
            text_ += ',';
        }
        needComma_ = true;
    }
    void open(char bracket) {
        separate();
        text_ += bracket;
        needComma_ = false;
    }
    void close(char bracket) {
        text_ += bracket;
        needComma_ = true;
    }

    std::string text_;
    bool needComma_ = false;
    bool afterKey_ = false;
};

template <class Keys>
Expected<void> member(JsonWriter& out, Keys key, double value, std::size_t sampleIndex) {
    out.key(stringValue(key));
    return out.number(value, "sample " + std::to_string(sampleIndex) + " member \"" +
                                 std::string(stringValue(key)) + "\"");
}

Expected<void> encode(JsonWriter& out, const Observation& box, std::size_t sampleIndex) {
    using K = Observation::CodingKeys;
    out.beginObject();
    for (auto [key, value] :
         {std::pair{K::x, box.x()}, std::pair{K::y, box.y()}, std::pair{K::width, box.width()},
          std::pair{K::height, box.height()}, std::pair{K::confidence, box.confidence()}}) {
        if (auto written = member(out, key, value, sampleIndex); !written) return written;
    }
    out.endObject();
    return {};
}

Expected<void> encodeBoxes(JsonWriter& out, Sample::CodingKeys key,
                           const std::vector<Observation>& boxes, std::size_t sampleIndex) {
    out.key(stringValue(key));
    out.beginArray();
    for (const Observation& box : boxes) {
        if (auto written = encode(out, box, sampleIndex); !written) return written;
    }
    out.endArray();
    return {};
}

Expected<void> encode(JsonWriter& out, const Sample& sample, std::size_t index) {
    using K = Sample::CodingKeys;
    out.beginObject();
    if (auto w = member(out, K::timeSeconds, sample.timeSeconds(), index); !w) return w;
    if (auto w = member(out, K::sceneScore, sample.sceneScore(), index); !w) return w;
    if (auto w = encodeBoxes(out, K::faces, sample.faces(), index); !w) return w;
    if (auto w = encodeBoxes(out, K::humans, sample.humans(), index); !w) return w;
    out.endObject();
    return {};
}

}  // namespace

Expected<std::string> encodeSamples(const std::vector<Sample>& samples) {
    JsonWriter out;
    out.beginArray();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (auto written = encode(out, samples[i], i); !written) {
            return std::unexpected(written.error());
        }
    }
    out.endArray();
    return out.take();
}

}  // namespace autoframe
