#include "platform/terminal/Style.hpp"

#include <cstdlib>

namespace term {

namespace {
constexpr int cubeLevels[6] = {0, 95, 135, 175, 215, 255};

int nearestLevel(int value) {
    int best = 0;
    for (int i = 1; i < 6; ++i) {
        if (std::abs(cubeLevels[i] - value) < std::abs(cubeLevels[best] - value)) best = i;
    }
    return best;
}

int distance2(int r1, int g1, int b1, int r2, int g2, int b2) {
    return (r1 - r2) * (r1 - r2) + (g1 - g2) * (g1 - g2) + (b1 - b2) * (b1 - b2);
}
} // namespace

int nearest256(ui::Color color) {
    int r = color.red8(), g = color.green8(), b = color.blue8();
    int ri = nearestLevel(r), gi = nearestLevel(g), bi = nearestLevel(b);
    int cube = 16 + 36 * ri + 6 * gi + bi;
    int cubeDistance = distance2(r, g, b, cubeLevels[ri], cubeLevels[gi], cubeLevels[bi]);

    int average = (r + g + b) / 3;
    int greyIndex = average < 8 ? 0 : average > 238 ? 23 : (average - 8 + 5) / 10;
    if (greyIndex > 23) greyIndex = 23;
    int grey = 8 + 10 * greyIndex;
    int greyDistance = distance2(r, g, b, grey, grey, grey);
    return greyDistance < cubeDistance ? 232 + greyIndex : cube;
}

} // namespace term
