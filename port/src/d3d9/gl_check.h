// The GL-error check of test builds (VELMO_GL_CHECK): every GL error ends the process at once,
// naming the port call it happened in, so that no error passes unseen through a long run. Calls
// the port refuses are written to standard error, so that they show in the tests' output.
//
// GL reports each error through KHR_debug, synchronously, on the stack of the failing GL call.
// The port call is the one that last made the device's context current: every port call that
// touches GL does that first. Without VELMO_GL_CHECK the functions do nothing.
#pragma once

#include <source_location>
#include <string>

namespace port::d3d9 {

#ifdef VELMO_GL_CHECK
// Installs the error report on the current context.
void installGlCheck();
// Records the port call that is about to use GL.
void enterGlCall(const std::source_location& call);
// Writes why the current port call was refused, the first time that reason comes: a refused
// call is mostly made again on every frame.
void reportRefusal(const std::string& reason);
#else
inline void installGlCheck() {}
inline void enterGlCall(const std::source_location&) {}
inline void reportRefusal(const std::string&) {}
#endif

} // namespace port::d3d9
