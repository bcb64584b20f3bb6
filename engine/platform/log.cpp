#include "engine/platform/log.h"

#include <cstdio>
#include <iostream>
#include <ostream>

#include <windows.h>

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

void fatalError(int number) {
    std::snprintf(fatalErrorText, sizeof(fatalErrorText), "Unexpected fatal error(#%d).", number);
    MessageBoxA(nullptr, fatalErrorText, "Velmo error", MB_OK);
}

} // namespace velmo
