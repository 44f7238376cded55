#include "planning/path_smoothing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace autoframe {
namespace {

constexpr double unseenWeight = 1e-3;

// Solves A x = b for a symmetric positive definite A with two diagonals either side of the main
// one; band[i][d] holds A(i, i + d). Banded Cholesky: time and memory in proportion to the size.
std::vector<double> solveBanded(const std::vector<std::array<double, 3>>& band,
                                std::vector<double> b) {
    const std::size_t n = b.size();
    std::vector<std::array<double, 3>> lower(n);  // lower[i][d] = L(i, i - d)
    auto a = [&](std::size_t i, std::size_t j) {  // A(i, j) for j <= i, within the band
        return band[j][i - j];
    };
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i >= 2 ? i - 2 : 0; j <= i; ++j) {
            double sum = a(i, j);
            for (std::size_t k = i >= 2 ? i - 2 : 0; k < j; ++k) {
                if (j - k <= 2) sum -= lower[i][i - k] * lower[j][j - k];
            }
            if (i == j) {
                lower[i][0] = std::sqrt(std::max(sum, 1e-300));
            } else {
                lower[i][i - j] = sum / lower[j][0];
            }
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t d = 1; d <= 2 && d <= i; ++d) b[i] -= lower[i][d] * b[i - d];
        b[i] /= lower[i][0];
    }
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t d = 1; d <= 2 && i + d < n; ++d) b[i] -= lower[i + d][d] * b[i + d];
        b[i] /= lower[i][0];
    }
    return b;
}

std::vector<double> penalised(const std::vector<double>& targets,
                              const std::vector<double>& weights, double step,
                              const CropSettings& settings) {
    const std::size_t n = targets.size();
    const double bend = std::pow(settings.bendSeconds / step, 4);
    const double move = std::pow(settings.stepSeconds / step, 2);
    std::vector<std::array<double, 3>> band(n, {0.0, 0.0, 0.0});
    std::vector<double> b(n);
    for (std::size_t i = 0; i < n; ++i) {
        band[i][0] = weights[i];
        b[i] = weights[i] * targets[i];
    }
    // Adds penalty * (sum of coefficients[k] * x[r + k])^2 for every r.
    auto addDifferences = [&](std::initializer_list<double> coefficients, double penalty) {
        const std::size_t width = coefficients.size();
        if (penalty <= 0 || n < width) return;
        const std::vector<double> c(coefficients);
        for (std::size_t r = 0; r + width <= n; ++r) {
            for (std::size_t p = 0; p < width; ++p) {
                for (std::size_t q = p; q < width; ++q) band[r + p][q - p] += penalty * c[p] * c[q];
            }
        }
    };
    addDifferences({-1.0, 1.0}, move);
    addDifferences({1.0, -2.0, 1.0}, bend);
    return solveBanded(band, std::move(b));
}

// Gaussian elimination with partial pivoting on a small dense system.
std::vector<double> solveDense(std::vector<std::vector<double>> a, std::vector<double> b) {
    const std::size_t n = b.size();
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c + 1; r < n; ++r) {
            if (std::abs(a[r][c]) > std::abs(a[pivot][c])) pivot = r;
        }
        std::swap(a[c], a[pivot]);
        std::swap(b[c], b[pivot]);
        if (a[c][c] == 0) continue;
        for (std::size_t r = c + 1; r < n; ++r) {
            const double f = a[r][c] / a[c][c];
            for (std::size_t k = c; k < n; ++k) a[r][k] -= f * a[c][k];
            b[r] -= f * b[c];
        }
    }
    std::vector<double> x(n, 0.0);
    for (std::size_t r = n; r-- > 0;) {
        double sum = b[r];
        for (std::size_t k = r + 1; k < n; ++k) sum -= a[r][k] * x[k];
        x[r] = a[r][r] != 0 ? sum / a[r][r] : 0.0;
    }
    return x;
}

std::vector<double> polynomial(const std::vector<double>& targets,
                               const std::vector<double>& weights, const CropSettings& settings) {
    const std::size_t n = targets.size();
    const std::size_t terms =
        std::min<std::size_t>(std::size_t(std::max(settings.polynomialDegree, 0)) + 1, n);
    // Sample index mapped onto [-1, 1], where powers stay well scaled.
    auto u = [&](std::size_t i) { return n > 1 ? 2.0 * double(i) / double(n - 1) - 1.0 : 0.0; };
    std::vector<std::vector<double>> normal(terms, std::vector<double>(terms, 0.0));
    std::vector<double> rhs(terms, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        std::vector<double> powers(terms, 1.0);
        for (std::size_t p = 1; p < terms; ++p) powers[p] = powers[p - 1] * u(i);
        for (std::size_t p = 0; p < terms; ++p) {
            rhs[p] += weights[i] * powers[p] * targets[i];
            for (std::size_t q = 0; q < terms; ++q)
                normal[p][q] += weights[i] * powers[p] * powers[q];
        }
    }
    const std::vector<double> coefficients = solveDense(std::move(normal), std::move(rhs));
    std::vector<double> out(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        double power = 1.0;
        for (double c : coefficients) {
            out[i] += c * power;
            power *= u(i);
        }
    }
    return out;
}

}  // namespace

std::vector<double> holdTargets(const std::vector<AxisGoal>& goals, double deadZone,
                                std::optional<double> start) {
    std::vector<double> held(goals.size(), 0.0);
    if (!start) {
        const auto firstSeen =
            std::find_if(goals.begin(), goals.end(), [](const AxisGoal& g) { return g.seen; });
        start = firstSeen != goals.end() ? firstSeen->target : 0.0;
    }
    double position = std::round(*start);
    for (std::size_t i = 0; i < goals.size(); ++i) {
        const AxisGoal& g = goals[i];
        if (g.seen) {
            if (g.target > position + deadZone) position = g.target - deadZone;
            if (g.target < position - deadZone) position = g.target + deadZone;
            position = std::round(std::clamp(position, g.low, std::max(g.low, g.high)));
        }
        held[i] = position;
    }
    return held;
}

std::vector<double> smoothPositions(const std::vector<AxisGoal>& goals,
                                    const std::vector<double>& targets, double step,
                                    const CropSettings& settings) {
    std::vector<double> weights(goals.size());
    for (std::size_t i = 0; i < goals.size(); ++i) weights[i] = goals[i].seen ? 1.0 : unseenWeight;
    std::vector<double> path;
    for (int pass = 0;; ++pass) {
        path = settings.smoother == Smoother::polynomial
                   ? polynomial(targets, weights, settings)
                   : penalised(targets, weights, step, settings);
        if (pass >= settings.constraintPasses) break;
        bool outside = false;
        for (std::size_t i = 0; i < goals.size(); ++i) {
            const AxisGoal& g = goals[i];
            if (g.seen && (path[i] < g.low - 0.5 || path[i] > g.high + 0.5)) {
                weights[i] *= settings.constraintBoost;
                outside = true;
            }
        }
        if (!outside) break;
    }
    return path;
}

std::vector<double> interpolateMonotone(const std::vector<double>& times,
                                        const std::vector<double>& values,
                                        const std::vector<double>& at) {
    const std::size_t n = times.size();
    std::vector<double> out(at.size(), 0.0);
    if (n == 0) return out;
    // Slopes at the samples: zero at a peak or a flat piece, else the weighted harmonic mean of
    // the neighbouring secants (Fritsch-Butland), which keeps each piece monotone.
    std::vector<double> secant(n > 1 ? n - 1 : 0), slope(n, 0.0);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        secant[i] = (values[i + 1] - values[i]) / (times[i + 1] - times[i]);
    }
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double a = secant[i - 1], b = secant[i];
        if (a * b <= 0) continue;
        const double ha = times[i] - times[i - 1], hb = times[i + 1] - times[i];
        const double wa = 2 * hb + ha, wb = hb + 2 * ha;
        slope[i] = (wa + wb) / (wa / a + wb / b);
    }
    for (std::size_t q = 0; q < at.size(); ++q) {
        const double t = at[q];
        if (t <= times.front()) {
            out[q] = values.front();
            continue;
        }
        if (t >= times.back()) {
            out[q] = values.back();
            continue;
        }
        const std::size_t i =
            std::size_t(std::upper_bound(times.begin(), times.end(), t) - times.begin()) - 1;
        const double h = times[i + 1] - times[i];
        const double s = (t - times[i]) / h;
        const double h00 = (1 + 2 * s) * (1 - s) * (1 - s), h10 = s * (1 - s) * (1 - s);
        const double h01 = s * s * (3 - 2 * s), h11 = s * s * (s - 1);
        out[q] =
            h00 * values[i] + h10 * h * slope[i] + h01 * values[i + 1] + h11 * h * slope[i + 1];
    }
    return out;
}

void limitSpeed(std::vector<double>& positions, const std::vector<double>& times, double maxSpeed) {
    const std::size_t n = positions.size();
    if (n < 2) return;
    std::vector<double> forward(positions), backward(positions);
    for (std::size_t i = 1; i < n; ++i) {
        const double most = maxSpeed * (times[i] - times[i - 1]);
        forward[i] = forward[i - 1] + std::clamp(positions[i] - forward[i - 1], -most, most);
    }
    for (std::size_t i = n - 1; i-- > 0;) {
        const double most = maxSpeed * (times[i + 1] - times[i]);
        backward[i] = backward[i + 1] + std::clamp(positions[i] - backward[i + 1], -most, most);
    }
    for (std::size_t i = 0; i < n; ++i) positions[i] = (forward[i] + backward[i]) / 2;
}

void easeMoves(std::vector<double>& positions, int span) {
    const std::ptrdiff_t n = std::ptrdiff_t(positions.size());
    const std::ptrdiff_t half = std::max(span, 1) / 2;
    if (n < 2 || half == 0) return;
    const std::vector<double> in(positions);
    auto at = [&](std::ptrdiff_t i) {
        return in[std::size_t(std::clamp<std::ptrdiff_t>(i, 0, n - 1))];
    };
    for (std::ptrdiff_t i = 0; i < n; ++i) {
        double sum = 0;
        for (std::ptrdiff_t k = -half; k <= half; ++k) sum += at(i + k);
        positions[std::size_t(i)] = sum / double(2 * half + 1);
    }
}

}  // namespace autoframe
