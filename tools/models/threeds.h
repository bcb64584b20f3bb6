// Writes the meshes of a frame tree as a binary 3D Studio .3ds file through Assimp's exporter:
// the scene is built in code (one node per mesh-bearing frame under the root, the frame's
// matrix carried along, one material per frame material with its diffuse, specular, shininess
// and texture name) and exported with format id "3ds". The exporter writes one object per mesh
// with 16-bit counts, so each mesh stays under 65536 vertices and triangles. The keyframer
// chunk the exporter adds is left out: the importer then hangs every object directly under its
// root, in file order.
#pragma once

#include <string>

#include "model.h"

namespace models {

// Throws std::runtime_error when the exporter fails.
void write3dsFile(const Frame& root, const std::string& path);

} // namespace models
