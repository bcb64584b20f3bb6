#include "demo/spectrum.h"

#include <algorithm>
#include <cstdio>

#include "demo/main_loop.h"

float* currentSpectrumRow = nullptr;

size_t SpectrumData::rowLimit(FMOD::Sound* music) {
    unsigned musicMs = 0;
    if (music == nullptr || music->getLength(&musicMs, FMOD_TIMEUNIT_MS) != FMOD_OK) {
        musicMs = 0;
    }
    const size_t rows = std::max<size_t>(musicMs, runLengthMs) / msPerRow + 1;
    return rows + rows / 4;
}

SpectrumData SpectrumData::load(const std::string& path, size_t maxRows) {
    SpectrumData data;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fseek(file, 0, SEEK_END);
        const long length = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        const size_t rows =
            length > 0 ? static_cast<size_t>(length) / (binsPerRow * sizeof(float)) : 0;
        if (rows > maxRows) {
            std::fprintf(stderr,
                         "velmo 08: %s is too large for a spectrum (%ld bytes, %zu rows; the "
                         "music needs at most %zu): going on without it\n",
                         path.c_str(), length, rows, maxRows);
        } else if (rows > 0) {
            data.values.resize(rows * binsPerRow);
            const size_t read =
                std::fread(data.values.data(), sizeof(float), data.values.size(), file);
            data.values.resize(read / binsPerRow * binsPerRow);
        }
        std::fclose(file);
    }
    if (data.values.empty()) {
        data.values.assign(binsPerRow, 0.0f);
    }
    return data;
}

float* SpectrumData::row(unsigned positionMs) {
    const size_t r = std::min<size_t>(positionMs / msPerRow, rowCount() - 1);
    return values.data() + r * binsPerRow;
}
