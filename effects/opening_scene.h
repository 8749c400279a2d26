// The opening (orders 0-3): the industrial hall under a red light circling above it, with film
// grain over the picture; during the last rows of order 3 the screen brightens towards white.
#pragma once

namespace effects {

// The white added by the build-up at a row of order 3: 0 up to row 54, (row - 54) / 11 after.
float buildUpLevel(int row);

} // namespace effects
