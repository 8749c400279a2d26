// The double-precision shortcuts must store exactly the floats of the extended-precision
// evaluations they stand in for, over the whole range of arguments the show gives them.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "assets/float_rounding.h"
#include "assets/mesh_renderer.h"

using namespace assets;

TEST(QuickSineCosine, StaysWithinTwoToTheMinus52OfTheExactValues) {
    std::mt19937_64 random(7);
    double worst = 0;
    auto check = [&worst](double x) {
        const SineCosine q = quickSineCosine(x);
        const long double exactSine = std::sin((long double)x), exactCosine = std::cos((long double)x);
        worst = std::max({worst, double(std::fabs(q.sine - exactSine)), double(std::fabs(q.cosine - exactCosine)),
                          double(std::fabs(quickSine(x) - exactSine))});
    };
    for (double range : {1.0, 100.0, 5000.0, 1048576.0}) {
        std::uniform_real_distribution<double> argument(-range, range);
        for (int i = 0; i < 200000; ++i) check(argument(random));
    }
    // Right next to multiples of pi/2, where the reduction cancels most digits.
    for (int k = -400000; k <= 400000; k += 97)
        for (double nudge : {-1e-9, -1e-12, 0.0, 1e-12, 1e-9}) check(k * 1.5707963267948966 + nudge);
    EXPECT_LE(worst, 0x1p-52);
}

TEST(FloatShortcuts, StoreTheFloatsOfTheExtendedPrecisionEvaluation) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> angle(-700, 700);
    for (int i = 0; i < 300000; ++i) {
        const long double x = angle(random);
        float sine, cosine;
        floatSineCosine(x, sine, cosine);
        ASSERT_EQ(sine, float(std::sin(x))) << double(x);
        ASSERT_EQ(cosine, float(std::cos(x))) << double(x);
    }

    std::uniform_real_distribution<float> coordinate(-3000, 3000);
    const Point3 centres[] = {{0, 0, 0}, {-0.2547f, 0.0548f, 431.822f}, {12.5f, -80, 136.5971f}};
    for (const Point3& centre : centres)
        for (float range : {0.0f, 100.0f, 1100.0f, 2500.0f})
            for (int i = 0; i < 50000; ++i) {
                const float x = coordinate(random), y = coordinate(random), z = coordinate(random);
                const long double dx = x - (long double)centre.x, dy = y - (long double)centre.y,
                                  dz = z - (long double)centre.z;
                const float expected = float(1 - std::sqrt(dx * dx + dy * dy + dz * dz) / range);
                const float fade = distanceFade(x, y, z, centre, range);
                ASSERT_TRUE(fade == expected || (std::isnan(fade) && std::isnan(expected))) << x << " " << y << " " << z;
            }
    // A point on the centre itself with range 0 is 1 - 0/0.
    EXPECT_TRUE(std::isnan(distanceFade(1, 2, 3, {1, 2, 3}, 0)));
}

TEST(FloatShortcuts, AnIntervalAcrossZeroIsNotTakenForEitherZero) {
    EXPECT_TRUE(roundsToSameFloat(0.5, 1e-12));
    EXPECT_FALSE(roundsToSameFloat(1e-50, 1e-40));                 // -0 below, +0 above
    EXPECT_FALSE(roundsToSameFloat(1.0 + 0x1p-24, 1e-15));         // on a midpoint between floats
    EXPECT_FALSE(roundsToSameFloat(1e39, 1.0));                    // beyond the floats
}
