#include "effects/tunnel_flight.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>

#include "core/show_state.h"
#include "core/timeline.h"
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

// One pass over the 11 rings ahead of and just behind the camera as a single batch of quads. The
// texture coordinates scroll with t (u around the tube, v along it); the two tubes scroll at
// slightly different speeds and opposite directions around, which keeps them from lining up.
void drawTube(float t, int32_t n, float radius, long double uSpeed, long double vSpeed) {
    glBegin(GL_QUADS);
    for (int32_t i = n + firstRing; i <= n + lastRing; ++i) {
        for (int32_t j = 0; j < segments; ++j) {
            const int32_t corners[4][2] = {{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}};
            for (const auto& corner : corners) {
                const int32_t r = corner[0], s = corner[1];
                const float c = ringBrightness(t, r);
                glColor3f(c, c, c);
                glTexCoord2f(float(s / 16.0L + t / uSpeed), float(r / 16.0L + t / vSpeed));
                const engine::Vec3 p = ringPoint(r, s, radius);
                glVertex3f(p.x, p.y, p.z);
            }
        }
    }
    glEnd();
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
