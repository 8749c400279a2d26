// The tunnel flight: the tube is built around the flight path every frame and drawn twice, outer
// then inner, with scrolling texture coordinates and a fade to black ahead.
#include "effects/tunnel_flight.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>
#include <vector>

#include "assets/triangle_arrays.h"
#include "core/frame_timer.h"
#include "core/show_state.h"
#include "effects/effects.h"
#include "effects/flight_path.h"

namespace effects {

namespace {

const int lookAhead = 3;                 // the target runs this many samples ahead of the eye
const int firstRing = -2, lastRing = 8;  // rings drawn, relative to the camera's sample
const int segments = 16;
const float outerRadius = 3.0f, innerRadius = 2.0f;

const FlightFrame& sampleAt(int32_t index) { return flightPath[index & (flightFrameCount - 1)]; }

// The point at f between sample k and the next one, on the same Bezier segment the path was
// sampled with.
engine::Vec3 pointBetween(int32_t k, float f) {
    const FlightFrame& a = sampleAt(k);
    const FlightFrame& b = sampleAt(k + 1);
    return {bezierPointF(f, a.position.x, a.tangent.x, b.tangent.x, b.position.x),
            bezierPointF(f, a.position.y, a.tangent.y, b.tangent.y, b.position.y),
            bezierPointF(f, a.position.z, a.tangent.z, b.tangent.z, b.position.z)};
}

// One pass over the 11 rings ahead of and just behind the camera: a grid of ring points joined
// into quads, sent as triangles in one draw. The texture coordinates scroll with t (u around the
// tube, v along it); the two tubes scroll at slightly different speeds and opposite directions
// around, which keeps them from lining up.
//
// Each quad (ring i, segment j), (i + 1, j), (i + 1, j + 1), (i, j + 1) is split into the corners
// (0, 1, 3) and (1, 2, 3), as GL splits quads when some of a draw needs clipping, which the rings
// behind the camera always do. Sent as one batch of quads through immediate mode instead, the
// passes were cut into draws wherever GL's vertex buffer happened to fill up, and the far end of
// the tube came out a few levels differently depending on everything drawn before.
assets::TriangleArrays tube;
std::vector<assets::Point3> tubePoints;

void drawTube(float t, int32_t n, float radius, long double uSpeed, long double vSpeed) {
    const int32_t rings = lastRing - firstRing + 2, columns = segments + 1;
    tubePoints.resize(size_t(rings * columns));
    tube.texCoords.resize(tubePoints.size() * 2);
    tube.colours.resize(tubePoints.size() * 4);
    for (int32_t k = 0; k < rings; ++k) {
        const int32_t r = n + firstRing + k;
        const float c = ringBrightness(t, r);
        for (int32_t s = 0; s < columns; ++s) {
            const size_t v = size_t(k * columns + s);
            const engine::Vec3 p = ringPoint(r, s, radius);
            tubePoints[v] = {p.x, p.y, p.z};
            tube.texCoords[2 * v] = float(s / 16.0L + t / uSpeed);
            tube.texCoords[2 * v + 1] = float(r / 16.0L + t / vSpeed);
            float* colour = &tube.colours[4 * v];
            colour[0] = colour[1] = colour[2] = c;
            colour[3] = 1.0f;
        }
    }
    tube.indices.clear();
    for (int32_t k = 0; k + 1 < rings; ++k)
        for (int32_t s = 0; s < segments; ++s) {
            const uint32_t q[4] = {uint32_t(k * columns + s), uint32_t((k + 1) * columns + s),
                                   uint32_t((k + 1) * columns + s + 1), uint32_t(k * columns + s + 1)};
            tube.indices.insert(tube.indices.end(), {q[0], q[1], q[3], q[1], q[2], q[3]});
        }
    tube.lastCorner = int32_t(tube.indices.back());
    assets::drawTriangleArrays(tube, tubePoints.data(), int32_t(tubePoints.size()));
}

} // namespace

float tunnelClock(uint32_t showMs) { return float(showMs / 150.0L); }

void flightCamera(float t, engine::Vec3& eye, engine::Vec3& target) {
    const int32_t n = int32_t(std::trunc(t));
    const float f = t - float(n);
    eye = pointBetween(n, f);
    target = pointBetween(n + lookAhead, f);
}

engine::Vec3 ringPoint(int32_t ring, int32_t segment, float radius) {
    const FlightFrame& frame = sampleAt(ring);
    // A ring has 16 segments: their sines and cosines are taken once, not for every vertex.
    struct Direction {
        long double sine, cosine;
    };
    static const auto directions = [] {
        std::array<Direction, segments + 1> table{};
        for (int32_t s = 0; s <= segments; ++s) {
            const long double angle = s * (long double)M_PI / 8;
            table[size_t(s)] = {std::sin(angle), std::cos(angle)};
        }
        return table;
    }();
    long double sine, cosine;
    if (segment >= 0 && segment <= segments) {
        sine = directions[size_t(segment)].sine, cosine = directions[size_t(segment)].cosine;
    } else {
        const long double angle = segment * (long double)M_PI / 8;
        sine = std::sin(angle), cosine = std::cos(angle);
    }
    const long double across = radius * sine, along = radius * cosine;
    return {float(frame.position.x + across * frame.side.x + along * frame.up.x),
            float(frame.position.y + across * frame.side.y + along * frame.up.y),
            float(frame.position.z + across * frame.side.z + along * frame.up.z)};
}

float ringBrightness(float t, int32_t ring) { return float((t + 8.0L - ring) / 7.0L); }

void drawTex32Scene() {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, core::tex32Texture);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);

    const float t = tunnelClock(core::timerTicks(1000));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(30.0, 4.0 / 3.0, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    engine::Vec3 eye, target;
    flightCamera(t, eye, target);
    gluLookAt(eye.x, eye.y, eye.z, target.x, target.y, target.z, 0, 1, 0);

    const int32_t n = int32_t(std::trunc(t));
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
    drawTube(t, n, outerRadius, 48.0L, 64.0L);
    // The inner tube is added on top of the outer one.
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    drawTube(t, n, innerRadius, -47.0L, 63.0L);
}

} // namespace effects
