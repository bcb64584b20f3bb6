#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <fmod.hpp>

// The spectrum row (64 floats) of the current frame; the scenes read bins through it.
extern float* currentSpectrumRow;

// The precomputed spectrum of the music: 64 floats for every 50 ms, read whole at start-up.
class SpectrumData {
public:
    static constexpr size_t binsPerRow = 64;
    static constexpr unsigned msPerRow = 50;

    // The most rows a run can use: one per 50 ms of the music or of the run, whichever is
    // longer, and a quarter more as a margin. Without music (null, or a length that cannot be
    // read) the run's length alone counts.
    static size_t rowLimit(FMOD::Sound* music);

    // Reads raw little-endian floats. A file that does not open (or is no regular file: a
    // directory, a pipe), or holds less than one whole row, gives a single row of zeros; a
    // trailing partial row is not used. A read that ends early keeps the file's rows, with
    // zeros for what did not arrive. A file of more than maxRows rows is not read: that is
    // said on standard error, and it too gives the row of zeros.
    static SpectrumData load(const std::string& path, size_t maxRows = rowLimit(nullptr));

    size_t rowCount() const { return values.size() / binsPerRow; }
    // The row for a music position in milliseconds; positions past the last row use the last
    // row, so nothing reads outside the data.
    float* row(unsigned positionMs);

private:
    std::vector<float> values;
};
