// Ordered (x, y) points with linear interpolation and linear extension beyond both ends.
#pragma once

#include <vector>

namespace config {

struct CurvePoint {
    float x;
    float y;
};

struct CurveTable {
    std::vector<CurvePoint> points;  // sorted by x

    // An empty table returns x itself; one point returns its y.
    float lookup(float x) const;
};

}  // namespace config
