#include "engine/platform/log.h"

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <ostream>
#include <set>
#include <string>

#include <dxerr.h>

namespace velmo {

namespace {
// The program never opens a log stream, so the log stays silent.
std::ostream* logStream = nullptr;
char fatalErrorText[64];
} // namespace

void logLine(const std::string& line) {
    *logStream << line << std::endl;
    std::cout << line << std::endl;
}

void closeLog() {
    if (logStream != nullptr) {
        logLine("Closing the log...");
        delete logStream;
        logStream = nullptr;
    }
}

void lookUp(HRESULT hr, std::source_location call) {
    if (SUCCEEDED(hr)) {
        return;
    }
    const char* text = DXGetErrorDescriptionA(hr);
#ifdef VELMO_LOG_FAILED_CALLS
    // Once for each place and code: some calls fail on every frame by design (an effect
    // parameter that a file does not have, a scene begun inside the caller's).
    static std::set<std::string> reported;
    const std::string place = std::string(call.file_name()) + ":" + std::to_string(call.line()) +
                              ":" + std::to_string(call.column());
    const auto code = static_cast<unsigned long>(static_cast<uint32_t>(hr));
    if (reported.insert(place + " " + std::to_string(code)).second) {
        std::fprintf(stderr, "velmo: failed call at %s in %s: %s (0x%08lX)\n", place.c_str(),
                     call.function_name(), text, code);
    }
#else
    static_cast<void>(text);
    static_cast<void>(call);
#endif
}

void fatalError(int number) {
    std::snprintf(fatalErrorText, sizeof(fatalErrorText), "Unexpected fatal error(#%d).", number);
    MessageBoxA(nullptr, fatalErrorText, "Velmo error", MB_OK);
}

} // namespace velmo
