// Writes a frame tree as a text DirectX .x file ("xof 0303txt 0032"): one top-level frame (the
// given root) with its FrameTransformMatrix, nested frames, and per mesh its vertices, triangle
// faces, MeshNormals (negated when negateNormals is set), one or two MeshTextureCoords sets
// (v stored as 1 - v) and a MeshMaterialList with one Material per frame material (faceColor,
// power, specularColor, emissiveColor, TextureFilename). Numbers are printed with fixed
// precision, so the same tree gives the same bytes.
#pragma once

#include <string>

#include "model.h"

namespace models {

// The file's text.
std::string xFileText(const Frame& root, bool negateNormals);
// Writes it to path; throws std::runtime_error when the file cannot be written.
void writeXFile(const Frame& root, bool negateNormals, const std::string& path);

} // namespace models
