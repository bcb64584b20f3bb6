#include "support/images.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

std::vector<unsigned char> encodeImage(bool jpeg, int width, int height, int channels,
                                       const std::vector<unsigned char>& pixels) {
    std::vector<unsigned char> out;
    const auto append = [](void* context, void* data, int size) {
        auto* bytes = static_cast<std::vector<unsigned char>*>(context);
        bytes->insert(bytes->end(), static_cast<unsigned char*>(data),
                      static_cast<unsigned char*>(data) + size);
    };
    if (jpeg) {
        stbi_write_jpg_to_func(append, &out, width, height, channels, pixels.data(), 100);
    } else {
        stbi_write_png_to_func(append, &out, width, height, channels, pixels.data(),
                               width * channels);
    }
    return out;
}

RgbImage loadRgbImage(const std::string& path) {
    RgbImage image;
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &image.width, &image.height, &channels, 3);
    if (pixels == nullptr) {
        return {};
    }
    image.rgb.assign(pixels, pixels + size_t(image.width) * size_t(image.height) * 3);
    stbi_image_free(pixels);
    return image;
}
