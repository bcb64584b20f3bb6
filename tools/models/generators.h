// One generator per model file, each in a source file of its own (named after the model); the
// table of files in main.cpp says which generator writes which file. A generator returns the
// file's top-level frame (model.h states the conventions; geometry.h has the building blocks).
#pragma once

#include "model.h"

namespace models {

Frame makeBlock1();
Frame makePiippu();
Frame makeLolo();
Frame makeHarmonia();
Frame makeChain();
Frame makeLiberty();
Frame makeKoriste();
Frame makeTalo();
Frame makeTalomaa();
Frame makeRattais();
Frame makeSkyTeaPot();
Frame makeQuellan2();
Frame makeQuelmobile2();
Frame makeTown();
Frame makeValot();

} // namespace models
