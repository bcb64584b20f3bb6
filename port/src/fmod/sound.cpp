// The sound library on SDL audio and libmpg123. A stream is decoded as it plays, inside the
// audio callback. The channel position is what is being heard: the frames the device had
// consumed when it last asked for more, plus the time since, on a monotonic clock, so it
// advances smoothly between callbacks and never goes backwards. Without an audio device the
// position follows the port's clock alone. A stream that has played to its end leaves its
// channel invalid, as a finished one-shot channel is.
//
// An audio device that is lost while it plays (the sound server ends, the device is
// unplugged) is closed, and the position follows the port's clock from where it was: SDL
// would otherwise keep calling back at a rate of its own timer, and the position would drift
// from the wall clock. About once a second the device is opened again (SDL's audio is
// restarted first, as its sound-server connection may be what was lost); the stream goes on
// from the position at that moment. A device that does not open when the stream starts to play
// (a sound server that starts later) is tried again in the same way.
//
// A device that takes less of the stream than the time since it started playing, by more than
// a stall (a sound server that leaves a new stream waiting behind what it had buffered, as
// PulseAudio's null sink does for up to two seconds, or an underrun), has played none of the
// stream meanwhile: the position goes on by the monotonic clock, a stall behind it, and the
// stream skips ahead to the clock when the device asks again, so sound and position follow the
// wall clock from the start. The stream ends when its position reaches its length, even while
// the device is stalled.
//
// Damage inside the file is skipped: the decoder searches as far as it must for the next frame
// (stream.cpp), and a read error ends the stream only when it repeats with nothing decoded, so
// the stream ends at the real end of the file.
#include <atomic>
#include <chrono>
#include <cstring>
#include <vector>

#include <SDL.h>
#include <port_testing.h>
#include <windows.h>

#include "stream.h"
#include "trace.h"

struct FMOD::System::Output {
    Sound::Stream* stream = nullptr;
    SDL_AudioDeviceID device = 0;
    DWORD clockStart = 0;    // without an audio device
    bool deviceLost = false; // the device was lost and is to be opened again
    DWORD nextReopen = 0;    // port clock, while deviceLost

    // Written by the audio callback, read under the device lock.
    uint64_t framesBeforeCallback = 0;
    uint64_t framesInCallback = 0;
    int64_t callbackMicros = -1;
    // When the stream's start would have been heard, had the device played it without a stall;
    // -1 while the device does not play.
    int64_t originMicros = -1;
    bool finished = false;
    bool decoderEnded = false; // the stream has nothing more to decode
    unsigned failedReads = 0;  // decoder errors in a row with nothing decoded

    unsigned lastReported = 0;        // main thread only
    FMOD::Channel* channel = nullptr; // handed out by playSound, owned here

    ~Output() {
        if (device != 0) {
            SDL_CloseAudioDevice(device);
        }
        delete channel;
    }
};

namespace {

int64_t nowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// How far the device may fall behind the clock before it counts as stalled, and how far behind
// the skip after a stall leaves it: within these a device's own pace and its bursts of
// requests pass without a skip.
constexpr int64_t stallMicros = 200000;
constexpr int64_t afterStallMicros = 100000;

// Decoder errors in a row, with nothing decoded between them, after which the stream is taken
// to have ended: the decoder reports damage it skips as an error, but a file that fails on
// every read must still end.
constexpr unsigned failedReadLimit = 64;

// Decodes into buffer and returns how many bytes it filled, fewer than length only at the end of
// the stream.
size_t decode(FMOD::System::Output* out, Uint8* buffer, size_t length) {
    size_t done = 0;
    while (done < length && !out->decoderEnded) {
        size_t got = 0;
        const int err = mpg123_read(out->stream->decoder, buffer + done, length - done, &got);
        done += got;
        if (got > 0) {
            out->failedReads = 0;
        }
        if (err == MPG123_DONE) {
            out->decoderEnded = true;
        } else if (got == 0 && err != MPG123_NEW_FORMAT && ++out->failedReads >= failedReadLimit) {
            out->decoderEnded = true;
            if (port::tracing()) {
                port::trace("stream ends on a decoder error: %s",
                            mpg123_strerror(out->stream->decoder));
            }
        }
    }
    return done;
}

std::atomic<uint64_t> skippedMs{0}; // what the streams skipped after stalls

// After a stall, skips the stream ahead to afterStallMicros behind the clock.
void skipStall(FMOD::System::Output* out, int64_t now) {
    if (out->originMicros < 0) {
        return;
    }
    const int64_t rate = out->stream->rate;
    const int64_t behind = (now - out->originMicros) * rate / 1000000 -
                           static_cast<int64_t>(out->framesBeforeCallback);
    if (behind <= stallMicros * rate / 1000000) {
        return;
    }
    const int64_t skip = behind - afterStallMicros * rate / 1000000;
    out->framesBeforeCallback += static_cast<uint64_t>(skip);
    if ((out->stream->lengthFrames > 0 && out->framesBeforeCallback >= out->stream->lengthFrames) ||
        mpg123_seek(out->stream->decoder, static_cast<off_t>(skip), SEEK_CUR) < 0) {
        out->decoderEnded = true;
    }
    skippedMs += static_cast<uint64_t>(skip * 1000 / rate);
    if (port::tracing()) {
        port::trace("audio stall: the stream skips %lld ms",
                    static_cast<long long>(skip * 1000 / rate));
    }
}

void SDLCALL fill(void* userdata, Uint8* buffer, int length) {
    auto* out = static_cast<FMOD::System::Output*>(userdata);
    const int64_t now = nowMicros();
    out->framesBeforeCallback += out->framesInCallback;
    skipStall(out, now);
    const size_t size = static_cast<size_t>(length);
    const size_t done = decode(out, buffer, size);
    std::memset(buffer + done, 0, size - done);
    const uint64_t frames = done / (sizeof(int16_t) * FMOD::streamChannels);
    out->framesInCallback = frames;
    out->callbackMicros = now;
    // The device has played everything once a callback finds nothing more to give.
    if (done == 0 && out->decoderEnded) {
        out->finished = true;
    }
}

SDL_AudioDeviceID openDevice(FMOD::System::Output* out) {
    SDL_AudioSpec want = {};
    want.freq = static_cast<int>(out->stream->rate);
    want.format = AUDIO_S16SYS;
    want.channels = FMOD::streamChannels;
    want.samples = 1024;
    want.callback = fill;
    want.userdata = out;
    return SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
}

constexpr DWORD reopenIntervalMs = 1000;

// A lost device: closed, and the position carries on from positionMs on the port's clock.
void loseDevice(FMOD::System::Output* out, unsigned positionMs) {
    SDL_CloseAudioDevice(out->device);
    out->device = 0;
    out->deviceLost = true;
    const DWORD now = timeGetTime();
    out->clockStart = now - positionMs;
    out->nextReopen = now + reopenIntervalMs;
    if (port::tracing()) {
        port::trace("audio device lost at %u", positionMs);
    }
}

// Opens the device again, the stream going on from positionMs; false when it does not open.
bool reopenDevice(FMOD::System::Output* out, unsigned positionMs) {
    out->nextReopen = timeGetTime() + reopenIntervalMs;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    const uint64_t frame = uint64_t(positionMs) * uint64_t(out->stream->rate) / 1000;
    mpg123_seek(out->stream->decoder, static_cast<off_t>(frame), SEEK_SET);
    out->framesBeforeCallback = frame;
    out->framesInCallback = 0;
    out->callbackMicros = -1;
    out->finished = false;
    out->decoderEnded = false;
    out->failedReads = 0;
    out->device = openDevice(out);
    if (out->device == 0) {
        return false;
    }
    out->deviceLost = false;
    out->originMicros = nowMicros() - int64_t(positionMs) * 1000;
    SDL_PauseAudioDevice(out->device, 0);
    if (port::tracing()) {
        port::trace("audio device back at %u", positionMs);
    }
    return true;
}

} // namespace

uint64_t port::testing::soundSkippedMs() {
    return skippedMs;
}

FMOD_RESULT FMOD_System_Create(FMOD::System** system) {
    if (system == nullptr) {
        return FMOD_ERR_INVALID_PARAM;
    }
    *system = new FMOD::System;
    return FMOD_OK;
}

namespace FMOD {

System::~System() {
    delete output;
}

FMOD_RESULT System::init(int maxChannels, FMOD_INITFLAGS, void*) {
    if (maxChannels < 1) {
        return FMOD_ERR_INVALID_PARAM;
    }
    initialised = true;
    return FMOD_OK;
}

FMOD_RESULT System::createStream(const char* name, FMOD_MODE, FMOD_CREATESOUNDEXINFO*,
                                 Sound** sound) {
    if (sound == nullptr || name == nullptr) {
        return FMOD_ERR_INVALID_PARAM;
    }
    *sound = nullptr;
    if (!initialised) {
        return FMOD_ERR_INITIALIZATION;
    }
    auto* stream = new Sound::Stream;
    const FMOD_RESULT opened = stream->open(name);
    if (opened != FMOD_OK) {
        delete stream;
        return opened;
    }
    *sound = new Sound(stream);
    return FMOD_OK;
}

FMOD_RESULT System::playSound(FMOD_CHANNELINDEX, Sound* sound, bool paused, Channel** channel) {
    if (channel != nullptr) {
        *channel = nullptr;
    }
    if (sound == nullptr || channel == nullptr) {
        return FMOD_ERR_INVALID_PARAM;
    }
    // One channel: a new sound replaces whatever played before.
    delete output;
    output = new Output;
    output->stream = sound->stream;
    mpg123_seek(sound->stream->decoder, 0, SEEK_SET);

    if (SDL_WasInit(SDL_INIT_AUDIO) != 0 || SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        output->device = openDevice(output);
    }
    output->clockStart = timeGetTime();
    if (output->device == 0) {
        // No device yet: the position follows the clock, and the device is tried again.
        output->deviceLost = true;
        output->nextReopen = output->clockStart + reopenIntervalMs;
    } else if (!paused) {
        output->originMicros = nowMicros();
        SDL_PauseAudioDevice(output->device, 0);
    }
    output->channel = new Channel(output);
    *channel = output->channel;
    return FMOD_OK;
}

FMOD_RESULT System::release() {
    delete this;
    return FMOD_OK;
}

FMOD_RESULT Sound::getLength(unsigned int* length, FMOD_TIMEUNIT unit) {
    if (length == nullptr) {
        return FMOD_ERR_INVALID_PARAM;
    }
    *length = unit == FMOD_TIMEUNIT_PCM
                  ? static_cast<unsigned>(stream->lengthFrames)
                  : static_cast<unsigned>(stream->lengthFrames * 1000 /
                                          static_cast<uint64_t>(stream->rate));
    return FMOD_OK;
}

Sound::~Sound() {
    delete stream;
}

FMOD_RESULT Sound::release() {
    delete this;
    return FMOD_OK;
}

FMOD_RESULT Channel::getPosition(unsigned int* position, FMOD_TIMEUNIT unit) {
    if (position == nullptr || unit != FMOD_TIMEUNIT_MS) {
        return FMOD_ERR_INVALID_PARAM;
    }
    const uint64_t rate = static_cast<uint64_t>(output->stream->rate);
    uint64_t micros = 0;
    bool finished = false;
    if (output->device != 0) {
        SDL_LockAudioDevice(output->device);
        const uint64_t before = output->framesBeforeCallback;
        const uint64_t inBuffer = output->framesInCallback;
        const int64_t at = output->callbackMicros;
        const int64_t origin = output->originMicros;
        finished = output->finished;
        SDL_UnlockAudioDevice(output->device);
        const int64_t now = nowMicros();
        micros = before * 1000000 / rate;
        if (at >= 0) {
            const uint64_t bufferMicros = inBuffer * 1000000 / rate;
            const uint64_t since = static_cast<uint64_t>(std::max<int64_t>(0, now - at));
            micros += std::min(since, bufferMicros);
        }
        // A stalled device: the clock moves the position until the device catches up.
        if (origin >= 0 && now - origin > static_cast<int64_t>(micros) + stallMicros) {
            micros = static_cast<uint64_t>(now - origin - stallMicros);
        }
        if (output->stream->lengthFrames > 0 &&
            micros >= output->stream->lengthFrames * 1000000 / rate) {
            finished = true;
        }
        if (!finished && SDL_GetAudioDeviceStatus(output->device) == SDL_AUDIO_STOPPED) {
            loseDevice(output,
                       std::max(output->lastReported, static_cast<unsigned>(micros / 1000)));
        }
    }
    if (output->device == 0) {
        micros = static_cast<uint64_t>(timeGetTime() - output->clockStart) * 1000;
        finished = micros >= output->stream->lengthFrames * 1000000 / rate;
        if (output->deviceLost && !finished &&
            static_cast<int32_t>(timeGetTime() - output->nextReopen) >= 0) {
            reopenDevice(output, static_cast<unsigned>(micros / 1000));
        }
    }
    if (finished) {
        return FMOD_ERR_INVALID_HANDLE;
    }
    output->lastReported = std::max(output->lastReported, static_cast<unsigned>(micros / 1000));
    *position = output->lastReported;
    if (port::tracing()) {
        port::trace("position %u", *position);
    }
    return FMOD_OK;
}

FMOD_RESULT Channel::isPlaying(bool* playing) {
    if (playing == nullptr) {
        return FMOD_ERR_INVALID_PARAM;
    }
    unsigned position = 0;
    *playing = getPosition(&position, FMOD_TIMEUNIT_MS) == FMOD_OK;
    return FMOD_OK;
}

} // namespace FMOD
