// The closed random flight path of the tunnel flight: eight random control points joined into a
// smooth loop (a Catmull-Rom curve written as Bezier segments) and sampled 128 times, each sample
// with its own frame of travel direction, side and up. Built once at start-up by prepareEffects.
#pragma once

#include "engine/vecmath.h"

namespace effects {

constexpr int controlPointCount = 8;
constexpr int samplesPerSegment = 16;
constexpr int flightFrameCount = controlPointCount * samplesPerSegment;  // 128

struct PathControlPoint {
    engine::Vec3 position;
    engine::Vec3 tangent;  // a sixth of the chord between the two neighbouring control points
};

struct FlightFrame {
    engine::Vec3 position;
    engine::Vec3 tangent;  // a sixth of the chord between the two neighbouring samples
    engine::Vec3 side;     // unit vector: tangent x (0, 1, 0); zero where the tangent is vertical
    engine::Vec3 up;       // unit vector: side x tangent; zero where side is
};

// Filled by prepareEffects, read-only afterwards. Indices wrap: sample 127 is followed by sample 0.
extern PathControlPoint pathControlPoints[controlPointCount];
extern FlightFrame flightPath[flightFrameCount];

// One coordinate of a cubic Bezier segment from P0, P1 - P0, P3 - P2 and P3, at f in [0, 1].
float bezierPointF(float f, float a, float b, float c, float d);

// The tangent of every control point from the positions of its two neighbours.
void setControlTangents(PathControlPoint points[controlPointCount]);
// Samples the closed curve through `points` and gives every sample its frame.
void sampleFlightPath(const PathControlPoint points[controlPointCount],
                      FlightFrame frames[flightFrameCount]);

} // namespace effects
