#include "driver/schedule.h"

#include "core/error_codes.h"
#include "core/number_text.h"

namespace autoframe {

Schedule Schedule::of(const RunParameters& parameters) {
    return Schedule{parameters.from, 1.0 / parameters.fps, parameters.to + (-0.001)};
}

Expected<std::optional<double>> Schedule::after(double requested) const {
    const double next = step + requested;
    if (!(next > requested)) {
        return fail(ScheduleCode::stepTooSmall, "the sampling step " + numberText(step) +
                                                    " s no longer advances the requested time at " +
                                                    numberText(requested) + " s");
    }
    if (!(next < endBound)) return std::nullopt;
    return next;
}

}  // namespace autoframe
