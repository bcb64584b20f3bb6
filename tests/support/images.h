// Image files made in memory, for tests that load pictures.
#pragma once

#include <vector>

// Encodes RGBA or RGB pixels (top row first) as a PNG, or as a JPEG of the best quality.
std::vector<unsigned char> encodeImage(bool jpeg, int width, int height, int channels,
                                       const std::vector<unsigned char>& pixels);
