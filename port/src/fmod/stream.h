// A streamed sound's file and decoder: an mp3 opened for decoding to 16-bit stereo at its own
// rate, whatever its channels, with its length in frames.
#pragma once

#include <cstdint>
#include <cstdio>

#include <fmod.hpp>
#include <mpg123.h>

struct FMOD::Sound::Stream {
    mpg123_handle* decoder = nullptr;
    FILE* file = nullptr; // read by the decoder, closed here after it
    long rate = 0;
    uint64_t lengthFrames = 0;

    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream();

    // Opens the named file and counts its length; FMOD_ERR_FILE_NOTFOUND when it does not open
    // or is not a regular file, FMOD_ERR_FORMAT when no mp3 frame starts it (no sound).
    FMOD_RESULT open(const char* name);
};

namespace FMOD {
// Channels of the decoded stream, as the audio device plays it.
constexpr int streamChannels = 2;
} // namespace FMOD
