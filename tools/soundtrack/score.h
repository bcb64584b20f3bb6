// Plays the whole arrangement into a mix.
#pragma once

#include "mix.h"

namespace velmo::soundtrack {

void renderScore(Mix& mix);

} // namespace velmo::soundtrack
