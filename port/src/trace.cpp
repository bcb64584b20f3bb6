#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace port {

namespace {

FILE* traceFile() {
    static FILE* file = [] {
        const char* path = std::getenv("VELMO_PORT_TRACE");
        return path != nullptr ? std::fopen(path, "w") : nullptr;
    }();
    return file;
}

} // namespace

bool tracing() { return traceFile() != nullptr; }

void trace(const char* format, ...) {
    FILE* file = traceFile();
    if (file == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fputc('\n', file);
    std::fflush(file);
}

} // namespace port
