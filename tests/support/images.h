// Image files made in memory, for tests that load pictures.
#pragma once

#include <string>
#include <vector>

// Encodes RGBA or RGB pixels (top row first) as a PNG, or as a JPEG of the best quality.
std::vector<unsigned char> encodeImage(bool jpeg, int width, int height, int channels,
                                       const std::vector<unsigned char>& pixels);

// A picture decoded into 8-bit RGB, top row first; empty (0 x 0) when the file does not decode.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* at(int x, int y) const {
        return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
    }
};

RgbImage loadRgbImage(const std::string& path);
