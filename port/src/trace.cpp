#include "trace.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace port {

namespace {

// The trace file's descriptor, or -1 when no trace is wanted or the file does not open.
int traceFile() {
    static const int fd = [] {
        const char* path = std::getenv("VELMO_PORT_TRACE");
        return path != nullptr
                   ? ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644)
                   : -1;
    }();
    return fd;
}

// Writes the whole line. A regular file takes it in one write, so lines from the audio thread
// and the main thread never splice; only a write cut short (a full disk) goes on with the rest.
void writeLine(int fd, const char* line, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, line, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        line += written;
        size -= static_cast<size_t>(written);
    }
}

} // namespace

bool tracing() {
    return traceFile() >= 0;
}

void trace(const char* format, ...) {
    const int fd = traceFile();
    if (fd < 0) {
        return;
    }
    // The line and its newline are formatted into one buffer: on the stack for the usual
    // short line, on the heap for a longer one.
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small - 1, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    const size_t size = static_cast<size_t>(length);
    if (size < sizeof small - 1) {
        va_end(again);
        small[size] = '\n';
        writeLine(fd, small, size + 1);
        return;
    }
    std::vector<char> large(size + 2);
    std::vsnprintf(large.data(), size + 1, format, again);
    va_end(again);
    large[size] = '\n';
    writeLine(fd, large.data(), size + 1);
}

} // namespace port
