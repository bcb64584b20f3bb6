#include "support/scratch.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>

#include <lame/lame.h>

ScratchDir::ScratchDir() {
    std::random_device random;
    dir = std::filesystem::temp_directory_path() / ("velmo-test-" + std::to_string(random()));
    std::filesystem::create_directories(dir);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

void writeFile(const std::string& path, const void* bytes, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

void writeToneMp3(const std::string& path, double seconds) {
    constexpr int rate = 44100;
    const int frames = static_cast<int>(seconds * rate);
    std::vector<short> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        left[static_cast<size_t>(i)] = right[static_cast<size_t>(i)] =
            static_cast<short>(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
    }
    lame_global_flags* lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 128);
    lame_init_params(lame);
    std::vector<unsigned char> mp3(static_cast<size_t>(1.25 * frames + 7200));
    int size = lame_encode_buffer(lame, left.data(), right.data(), frames, mp3.data(),
                                  static_cast<int>(mp3.size()));
    size += lame_encode_flush(lame, mp3.data() + size, static_cast<int>(mp3.size()) - size);
    lame_close(lame);
    writeFile(path, mp3.data(), static_cast<size_t>(size));
}
