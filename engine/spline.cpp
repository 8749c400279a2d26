// Tension/continuity/bias (Kochanek-Bartels) splines in the keyframer's variant: tangents that
// adjust for unequal key spacing, one-sided end tangents for open tracks, wrapped ends for loops,
// rotation control quaternions, and the per-segment ease.
//
// Everything is computed once per track at load time. Key frames come from the file unchecked, so
// keys at equal frames are expected: every spacing ratio that would divide by a zero distance
// falls back to even spacing instead.
#include <cmath>

#include "engine/scene.h"

namespace engine {

namespace {

constexpr double FULL_TURN = 6.2831853072;
constexpr double TURN_TOLERANCE = double(1e-6f);

// Tangent element that belongs to value element j: value[3] has element 0, value[0..2] 1..3.
int tangentIndex(int j) { return j == 3 ? 0 : j + 1; }

struct Weights {
    float w1, w2, w3, w4;
};

struct Spacing {
    float kp, kn;
};

// Spacing factors for a key at distance `before` after its previous neighbour and `after` before
// its next one, pulled toward 1 by the key's continuity.
Spacing spacingFactors(double before, double after, float continuity) {
    double half = (before + after) * 0.5;
    double kp = 1, kn = 1;
    if (half != 0 && std::isfinite(before / half) && std::isfinite(after / half)) {
        kp = before / half;
        kn = after / half;
    }
    double c = std::fabs(double(continuity));
    kp = kp + c - c * kp;
    kn = kn + c - c * kn;
    return {float(kp), float(kn)};
}

struct Tcb {
    float tm, cm, cp, bm, bp;
};

Tcb tcbOf(const Key& k) {
    float cm = float(1 - double(k.continuity));
    float bm = float(1 - double(k.bias));
    return {float((1 - double(k.tension)) * 0.5), cm, float(2 - double(cm)), bm, float(2 - double(bm))};
}

Weights tcbWeights(const Key& k, Spacing s) {
    Tcb t = tcbOf(k);
    return {float(double(t.tm) * t.cm * t.bp * s.kp), float(double(t.tm) * t.cp * t.bm * s.kp),
            float(double(t.tm) * t.cp * t.bp * s.kn), float(double(t.tm) * t.cm * t.bm * s.kn)};
}

// Both tangents of key k from its neighbours' values p and n.
void tangentPair(Key& k, const float p[4], const float n[4], Weights w) {
    for (int j = 0; j < 4; ++j) {
        float dIn = float(double(k.value[j]) - p[j]);
        float dOut = float(double(n[j]) - k.value[j]);
        k.inTangent[tangentIndex(j)] = float(double(w.w1) * dIn + double(w.w2) * dOut);
        k.outTangent[tangentIndex(j)] = float(double(w.w3) * dIn + double(w.w4) * dOut);
    }
}

// The one-sided tangent of an open track's end key from its two neighbours on one side: t1, d1 to
// the nearer one, t2, d2 to the farther one.
float endTangent(float tension, double t1, double t2, double d1, double d2) {
    double ratio = t2 != 0 ? t1 / (t2 * 2.0) : 0.25;  // coincident keys: drop the spacing term
    return float((1 - double(tension)) * (d2 * (0.25 - ratio) + (d1 - d2 / 2.0) * 3.0 / 2.0 + d2 / 2.0));
}

void openEndTangents(Key& first, Key& last) {
    Key& k1 = *first.next;
    Key& k2 = *k1.next;
    Key& km = *last.prev;
    Key& kl = *km.prev;
    for (int j = 0; j < 4; ++j) {
        first.outTangent[tangentIndex(j)] =
            endTangent(first.tension, double(k1.frame) - first.frame, double(k2.frame) - first.frame,
                       double(k1.value[j]) - first.value[j], double(k2.value[j]) - first.value[j]);
        last.inTangent[tangentIndex(j)] =
            endTangent(last.tension, double(last.frame) - km.frame, double(last.frame) - kl.frame,
                       double(last.value[j]) - km.value[j], double(last.value[j]) - kl.value[j]);
        first.inTangent[tangentIndex(j)] = 0;
        last.outTangent[tangentIndex(j)] = 0;
    }
}

// A loop's ends see across the wrap: the first key's previous neighbour is the last key's
// predecessor one period earlier, the last key's next neighbour the second key one period later.
void loopEndTangents(Key& first, Key& last, float period) {
    Key& beforeLast = *last.prev;
    Key& second = *first.next;
    Spacing s = spacingFactors(double(period) + first.frame - beforeLast.frame, double(second.frame) - first.frame,
                               first.continuity);
    tangentPair(first, beforeLast.value, second.value, tcbWeights(first, s));
    s = spacingFactors(double(last.frame) - beforeLast.frame, double(period) + second.frame - last.frame,
                       last.continuity);
    tangentPair(last, beforeLast.value, second.value, tcbWeights(last, s));
}

ResultCode checkSplineKeys(const Track* track) {
    if (!track || !track->firstKey) return ERR_NULL_POINTER;
    if (!track->firstKey->next) return ERR_SPLINE_KEYS;
    return ERR_OK;
}

void axisLog(Quat& out, const Key& k) { quatLog(out, Quat{k.value[0], k.value[1], k.value[2], 0}); }

// Logarithm of the turn from `from` to `to`. A key that turns a full circle or more has no
// distinct orientation difference, so its own axis stands in.
void turnLog(Quat& out, const Key& from, const Key& to, const Key& orientationBase, bool forward) {
    if (std::fabs(double(to.value[3]) - from.value[3]) > FULL_TURN - TURN_TOLERANCE) {
        axisLog(out, to);
        return;
    }
    const Key& other = forward ? to : from;
    Quat o = other.orientation;
    if (quatDot(o, orientationBase.orientation) < 0) quatUnitInverse(o, o);
    if (forward)
        quatLogDiff(out, orientationBase.orientation, o);
    else
        quatLogDiff(out, o, orientationBase.orientation);
}

void rotationControls(const Key* p, Key& k, const Key* n) {
    Quat gp{}, gn{};
    if (p) turnLog(gp, *p, k, k, false);
    if (n) turnLog(gn, k, *n, k, true);
    if (!p) gp = gn;
    if (!n) gn = gp;
    Spacing s{1, 1};
    if (p && n) s = spacingFactors(double(k.frame) - p->frame, double(n->frame) - k.frame, k.continuity);
    Tcb t = tcbOf(k);
    double wa = 1 - double(t.tm) * t.cm * t.bp * s.kp;
    double wb = -double(t.tm) * t.cp * t.bm * s.kp;
    double wc = double(t.tm) * t.cp * t.bp * s.kn;
    double wd = double(t.tm) * t.cm * t.bm * s.kn - 1;
    const float* g0 = &gp.x;
    const float* g1 = &gn.x;
    float a[4], b[4];
    for (int j = 0; j < 4; ++j) {
        a[j] = float((wc * g0[j] + wd * g1[j]) * 0.5);
        b[j] = float((wa * g0[j] + wb * g1[j]) * 0.5);
    }
    Quat e;
    quatExp(e, Quat{a[0], a[1], a[2], a[3]});
    quatMul(k.controlA, k.orientation, e);
    quatExp(e, Quat{b[0], b[1], b[2], b[3]});
    quatMul(k.controlB, k.orientation, e);
}

} // namespace

ResultCode computeVectorTangents(Track* track) {
    ResultCode result = checkSplineKeys(track);
    if (result != ERR_OK) return result;
    Key& first = *track->firstKey;
    if (!first.next->next) {
        Key& second = *first.next;
        for (int j = 0; j < 4; ++j) {
            double d = double(second.value[j]) - first.value[j];
            first.inTangent[tangentIndex(j)] = 0;
            first.outTangent[tangentIndex(j)] = float(d * (1 - double(first.tension)));
            second.inTangent[tangentIndex(j)] = float(d * (1 - double(second.tension)));
            second.outTangent[tangentIndex(j)] = 0;
        }
        return ERR_OK;
    }
    Key* last = &first;
    for (Key* k = first.next; k->next; k = k->next) {
        Spacing s = spacingFactors(double(k->frame) - k->prev->frame, double(k->next->frame) - k->frame, k->continuity);
        tangentPair(*k, k->prev->value, k->next->value, tcbWeights(*k, s));
        last = k->next;
    }
    if (track->mode & 2)
        loopEndTangents(first, *last, track->lastFrame);
    else
        openEndTangents(first, *last);
    return ERR_OK;
}

ResultCode computeRotationControls(Track* track) {
    ResultCode result = checkSplineKeys(track);
    if (result != ERR_OK) return result;
    Key& first = *track->firstKey;
    Key* last = first.next;
    for (Key* k = first.next; k->next; k = k->next) {
        rotationControls(k->prev, *k, k->next);
        last = k->next;
    }
    rotationControls(nullptr, first, first.next);
    rotationControls(last->prev, *last, nullptr);
    return ERR_OK;
}

float easeParameter(float t, float easeFrom, float easeTo) {
    double a = easeFrom, b = easeTo;
    double s = a + b;
    if (s == 0 || !std::isfinite(s)) return t;
    if (s > 1) {
        a /= s;
        b /= s;
    }
    double k = 1 / (2.0 - a - b);  // a + b <= 1 here, so the divisor is at least 1
    if (t < a && a > 0) return float(k / a * t * t);
    // With no ease-out the last branch is only reached at t = 1, where the straight middle part
    // already ends at 1; dividing by b = 0 there would give a NaN.
    if (t < 1 - b || b <= 0) return float(k * (2.0 * t - a));
    double u = 1 - double(t);
    return float(1 - k / b * u * u);
}

} // namespace engine
