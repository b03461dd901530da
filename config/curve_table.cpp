#include "config/curve_table.h"

#include <cstddef>

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
    return (pa.y - pb.y) / (pa.x - pb.x) * (x - pb.x) + pb.y;
}

}  // namespace config
