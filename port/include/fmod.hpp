// The sound library as far as velmo uses it: a system, a streamed sound and the channel that
// plays it, implemented by the port on SDL audio and libmpg123.
#pragma once

enum FMOD_RESULT {
    FMOD_OK = 0,
    FMOD_ERR_FILE_BAD = 13,
    FMOD_ERR_FILE_NOTFOUND = 18,
    FMOD_ERR_FORMAT = 25,
    FMOD_ERR_INITIALIZATION = 26,
    FMOD_ERR_INVALID_HANDLE = 36,
    FMOD_ERR_INVALID_PARAM = 37,
    FMOD_ERR_OUTPUT_INIT = 60,
};

typedef unsigned int FMOD_INITFLAGS;
typedef unsigned int FMOD_MODE;
typedef unsigned int FMOD_TIMEUNIT;
enum FMOD_CHANNELINDEX { FMOD_CHANNEL_FREE = -1, FMOD_CHANNEL_REUSE = -2 };

#define FMOD_INIT_NORMAL 0x00000000
#define FMOD_DEFAULT 0x00000000
#define FMOD_LOOP_OFF 0x00000001
#define FMOD_2D 0x00000008
#define FMOD_SOFTWARE 0x00000040
#define FMOD_CREATESTREAM 0x00000080
#define FMOD_TIMEUNIT_MS 0x00000001
#define FMOD_TIMEUNIT_PCM 0x00000002

struct FMOD_CREATESOUNDEXINFO;

namespace FMOD {
class System;
}
FMOD_RESULT FMOD_System_Create(FMOD::System** system);

namespace FMOD {

class Sound;
class Channel;

class System {
public:
    FMOD_RESULT init(int maxChannels, FMOD_INITFLAGS flags, void* extraDriverData);
    FMOD_RESULT createStream(const char* name, FMOD_MODE mode, FMOD_CREATESOUNDEXINFO* exinfo,
                             Sound** sound);
    FMOD_RESULT playSound(FMOD_CHANNELINDEX channelId, Sound* sound, bool paused,
                          Channel** channel);
    FMOD_RESULT release();

    struct Output;

private:
    friend FMOD_RESULT(::FMOD_System_Create)(System** system);
    System() = default;
    ~System();
    Output* output = nullptr;
    bool initialised = false;
};

class Sound {
public:
    FMOD_RESULT getLength(unsigned int* length, FMOD_TIMEUNIT unit);
    FMOD_RESULT release();

    struct Stream;

private:
    friend class System;
    explicit Sound(Stream* stream) : stream(stream) {}
    ~Sound();
    Stream* stream;
};

class Channel {
public:
    FMOD_RESULT getPosition(unsigned int* position, FMOD_TIMEUNIT unit);
    FMOD_RESULT isPlaying(bool* playing);

private:
    friend class System;
    explicit Channel(System::Output* output) : output(output) {}
    System::Output* output;
};

} // namespace FMOD
