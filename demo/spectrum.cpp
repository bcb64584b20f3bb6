#include "demo/spectrum.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "demo/main_loop.h"
#include "engine/resources/data_file.h"

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
    velmo::DataFile file;
    if (file.open(path)) {
        constexpr size_t rowBytes = binsPerRow * sizeof(float);
        const uint64_t length = file.size();
        const uint64_t rows = length / rowBytes;
        if (rows > maxRows) {
            std::fprintf(stderr,
                         "velmo 08: %s is too large for a spectrum (%llu bytes, %llu rows; the "
                         "music needs at most %zu): going on without it\n",
                         path.c_str(), static_cast<unsigned long long>(length),
                         static_cast<unsigned long long>(rows), maxRows);
        } else if (rows > 0) {
            // A file that gives fewer bytes than its size says (cut short while it is read)
            // keeps its rows; what did not arrive stays zero, as the file cache keeps it.
            data.values.assign(rows * binsPerRow, 0.0f);
            file.read(data.values.data(), rows * rowBytes);
        }
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
