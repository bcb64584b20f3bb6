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

} // namespace textures
