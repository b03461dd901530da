#include "config/curve_table.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace config {

float CurveTable::lookup(float x) const {
    const std::size_t n = points.size();
    if (n == 0) return x;
    if (n == 1) return points[0].y;

    // A NaN query compares false everywhere and so takes the last segment.
    std::size_t i = 0;
    while (i < n && !(points[i].x >= x)) ++i;
    const bool first = i == 0;
    const std::size_t b = first ? 1 : (i == n ? n - 1 : i);
    const CurvePoint& pa = points[b - 1];
    const CurvePoint& pb = points[b];
    if (pa.x == pb.x) return first ? points[0].y : pb.y;
    const float y = (pa.y - pb.y) / (pa.x - pb.x) * (x - pb.x) + pb.y;
    if (std::isfinite(y) || !std::isfinite(x)) return y;
    // A steep segment, or a query far beyond the table's ends, overflows single precision: the same
    // line in double precision, held to the largest float so that a gauge stays at its end.
    const double slope = (double{pa.y} - pb.y) / (double{pa.x} - pb.x);
    const double wide = slope * (double{x} - pb.x) + pb.y;
    constexpr double top = std::numeric_limits<float>::max();
    return static_cast<float>(wide > top ? top : (wide < -top ? -top : wide));
}

}  // namespace config
