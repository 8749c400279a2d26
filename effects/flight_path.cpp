// Builds the tunnel's closed flight path once at start-up from the show's seeded random numbers,
// so every run flies the same path.
#include "effects/flight_path.h"

#include "effects/effects.h"
#include "effects/random.h"

namespace effects {

PathControlPoint pathControlPoints[controlPointCount];
FlightFrame flightPath[flightFrameCount];

namespace {

const float oneSixth = 0.16666667f;

// A sixth of the chord from `before` to `after`: the Catmull-Rom tangent written as the offset of
// the inner Bezier point.
engine::Vec3 chordTangent(engine::Vec3 before, engine::Vec3 after) {
    engine::Vec3 tangent;
    engine::vecSub(tangent, after, before);
    engine::vecScale(tangent, tangent, oneSixth);
    return tangent;
}

// A random coordinate in -255 .. 256.
float randomCoordinate() { return float(int32_t(randomBelow(512)) - 255); }

} // namespace

float bezierPointF(float f, float a, float b, float c, float d) {
    const long double s = f, h = 1 - s;
    return float(h * h * (h * a + 3 * s * ((long double)a + b)) +
                 s * s * (s * d + 3 * h * ((long double)d - c)));
}

void setControlTangents(PathControlPoint points[controlPointCount]) {
    for (int i = 0; i < controlPointCount; ++i) {
        const int j = (i + 1) % controlPointCount;
        points[j].tangent = chordTangent(points[i].position,
                                         points[(i + 2) % controlPointCount].position);
    }
}

void sampleFlightPath(const PathControlPoint points[controlPointCount],
                      FlightFrame frames[flightFrameCount]) {
    for (int i = 0; i < flightFrameCount; ++i) {
        const PathControlPoint& from = points[i / samplesPerSegment];
        const PathControlPoint& to = points[(i / samplesPerSegment + 1) % controlPointCount];
        const float f = float(i % samplesPerSegment) / 16.0f;
        // P1 = from + its tangent and P2 = to - its tangent: the curve leaves and enters every
        // control point along the chord of its neighbours.
        frames[i].position = {
            bezierPointF(f, from.position.x, from.tangent.x, to.tangent.x, to.position.x),
            bezierPointF(f, from.position.y, from.tangent.y, to.tangent.y, to.position.y),
            bezierPointF(f, from.position.z, from.tangent.z, to.tangent.z, to.position.z)};
    }
    const engine::Vec3 worldUp = {0, 1, 0};
    for (int i = 0; i < flightFrameCount; ++i) {
        FlightFrame& frame = frames[(i + 1) % flightFrameCount];
        frame.tangent = chordTangent(frames[i].position, frames[(i + 2) % flightFrameCount].position);
        engine::vecCross(frame.side, frame.tangent, worldUp);
        engine::vecNormalize(frame.side, frame.side);
        engine::vecCross(frame.up, frame.side, frame.tangent);
        engine::vecNormalize(frame.up, frame.up);
    }
}

void prepareEffects() {
    // Seeded first, before anything else draws from the generator: the same path and the same
    // noise textures on every run.
    seedRandom(1);
    for (PathControlPoint& point : pathControlPoints) {
        const float z = randomCoordinate();
        const float y = randomCoordinate();
        const float x = randomCoordinate();
        point.position = {x, y, z};
    }
    setControlTangents(pathControlPoints);
    sampleFlightPath(pathControlPoints, flightPath);
}

} // namespace effects
