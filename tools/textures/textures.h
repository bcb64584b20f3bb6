// One function per texture file; main.cpp's table says which writes which file. Textures are
// grouped in source files by who uses them (moon.cpp, sprites.cpp, pictures.cpp, and one file
// per group of models naming them).
#pragma once

#include "image.h"

namespace textures {

// moon.cpp: the cratered surface and its tangent-space normal map, from one height field.
Image makeMoon();
Image makeMoonNormal();
// sprites.cpp: particle sprites.
Image makePartikle();
Image makeSmog();
// pictures.cpp: pictures the scenes load by name.
Image makePum();
Image makeSali2();
// shared_models.cpp: textures named by block1, harmonia, chain and liberty.
Image makeBlock();
Image makeLangat();
Image makeChain();
Image makeLiberty();
// house_textures.cpp: textures named by talo and talomaa.
Image makeTaloTower();
Image makeTaloWalls();
Image makeTaloRoof();
Image makeTaloSpire();
Image makeTalomaa();
// intro_textures.cpp: textures named by SkyTeaPot, quelmobile2, town and valot.
Image makeSky();
Image makeMobileEnvelope();
Image makeTownGrass();
Image makeTownLawn();
Image makeTownStreet();
Image makeTownPavement();
Image makeTownBrick();
Image makeTownOffice();
Image makeTownPlaster();
Image makeTownRoof();
Image makeTownTiles();
Image makeTownTree();
Image makeTownConifer();
Image makeTownFence();
Image makeTownSigns();
Image makeTownBillboard();
Image makeTownFlags();
Image makeValotWindows();
Image makeValotHalo();
Image makeValotPool();

} // namespace textures
