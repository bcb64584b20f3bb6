#include "demo/spectrum.h"

#include <algorithm>
#include <cstdio>

float* currentSpectrumRow = nullptr;

SpectrumData SpectrumData::load(const std::string& path) {
    SpectrumData data;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fseek(file, 0, SEEK_END);
        const long length = std::ftell(file);
        std::fseek(file, 0, SEEK_SET);
        if (length > 0) {
            const size_t rows = static_cast<size_t>(length) / (binsPerRow * sizeof(float));
            data.values.resize(rows * binsPerRow);
            const size_t read = std::fread(data.values.data(), sizeof(float), data.values.size(), file);
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
