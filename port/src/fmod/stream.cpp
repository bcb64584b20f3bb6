// A stream's file is opened without blocking and only when it is a regular file, so a named pipe
// or a directory in its place fails at once. The decoder reads it through stdio's buffer: the
// decoder's search for a frame asks for a byte at a time, which straight from the descriptor
// would be a system call per byte.
//
// The decoder gives 16-bit stereo at the stream's own rate, a mono stream on both channels; the
// formats are fixed before it reads anything, as it settles on the stream's format with its
// first frame. Opening looks for the first frame only as far as the decoder does by default:
// whatever the file holds (another kind of file under an mp3's name, only a tag), opening reads
// a bounded part of it before it fails. Once the first frame is found, damage inside the stream
// is skipped however long it is, when its length is counted and when it plays.
#include "stream.h"

#include <atomic>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <port_testing.h>

namespace {

// Bytes stdio reads ahead for the decoder.
constexpr size_t readBufferBytes = 64 * 1024;
// How far the decoder looks past damage while the stream opens: libmpg123's own default.
constexpr long openResyncLimit = 1024;

std::atomic<uint64_t> bytesRead{0};

mpg123_ssize_t readFile(void* handle, void* buffer, size_t size) {
    FILE* file = static_cast<FILE*>(handle);
    const size_t got = std::fread(buffer, 1, size, file);
    bytesRead += got;
    if (got == 0 && std::ferror(file) != 0) {
        std::clearerr(file);
        return -1;
    }
    return static_cast<mpg123_ssize_t>(got);
}

off_t seekFile(void* handle, off_t offset, int whence) {
    FILE* file = static_cast<FILE*>(handle);
    return fseeko(file, offset, whence) == 0 ? ftello(file) : -1;
}

// Opens a file for reading when it is a regular file; -1 otherwise. The open does not wait for
// a writer, as it would on a named pipe.
int openRegularFile(const char* name) {
    const int file = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0) {
        return -1;
    }
    struct stat st = {};
    int flags = -1;
    if (fstat(file, &st) != 0 || !S_ISREG(st.st_mode) || (flags = fcntl(file, F_GETFL)) < 0 ||
        fcntl(file, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(file);
        return -1;
    }
    return file;
}

} // namespace

uint64_t port::testing::soundFileBytesRead() {
    return bytesRead;
}

FMOD::Sound::Stream::~Stream() {
    if (decoder != nullptr) {
        mpg123_close(decoder);
        mpg123_delete(decoder);
    }
    if (file != nullptr) {
        std::fclose(file);
    }
}

FMOD_RESULT FMOD::Sound::Stream::open(const char* name) {
    const int descriptor = openRegularFile(name);
    if (descriptor < 0) {
        return FMOD_ERR_FILE_NOTFOUND;
    }
    file = fdopen(descriptor, "rb");
    if (file == nullptr) {
        close(descriptor);
        return FMOD_ERR_FILE_NOTFOUND;
    }
    std::setvbuf(file, nullptr, _IOFBF, readBufferBytes);

    int err = MPG123_OK;
    decoder = mpg123_new(nullptr, &err);
    if (decoder == nullptr) {
        return FMOD_ERR_INITIALIZATION;
    }
    mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(decoder);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) {
        mpg123_format(decoder, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    mpg123_param(decoder, MPG123_RESYNC_LIMIT, openResyncLimit, 0);
    if (mpg123_replace_reader_handle(decoder, readFile, seekFile, nullptr) != MPG123_OK ||
        mpg123_open_handle(decoder, file) != MPG123_OK) {
        return FMOD_ERR_FORMAT;
    }
    int channels = 0, encoding = 0;
    if (mpg123_getformat(decoder, &rate, &channels, &encoding) != MPG123_OK || rate <= 0 ||
        channels != streamChannels || encoding != MPG123_ENC_SIGNED_16) {
        return FMOD_ERR_FORMAT;
    }
    mpg123_param(decoder, MPG123_RESYNC_LIMIT, -1, 0);
    if (mpg123_scan(decoder) != MPG123_OK || mpg123_seek(decoder, 0, SEEK_SET) < 0) {
        return FMOD_ERR_FORMAT;
    }
    const off_t length = mpg123_length(decoder);
    lengthFrames = length > 0 ? static_cast<uint64_t>(length) : 0;
    return FMOD_OK;
}
