// The textures named by the scenery models (the intro's sky, airship and town; the house
// scene's house and ground), each drawn in code.
#pragma once

#include "canvas.h"

namespace textures {

Canvas taloTower();
Canvas taloWalls();
Canvas taloRoof();
Canvas taloSpire();
Canvas talomaa();

Canvas sky();
Canvas mobileEnvelope();
Canvas townGrass();
Canvas townLawn();
Canvas townStreet();
Canvas townPavement();
Canvas townBrick();
Canvas townOffice();
Canvas townPlaster();
Canvas townRoof();
Canvas townTiles();
Canvas townTree();
Canvas townConifer();
Canvas townFence();
Canvas townSigns();
Canvas townBillboard();
Canvas townFlags();
Canvas valotWindows();
Canvas valotHalo();
Canvas valotPool();

} // namespace textures
