// A line-oriented trace for end-to-end tests, written only when VELMO_PORT_TRACE names a file.
// It lets a test see what a running program does (presents, the music position) without
// reading its picture. Each line is written whole, in one write, so that lines of the audio
// thread and the main thread never run into each other.
#pragma once

namespace port {

bool tracing();
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace port
