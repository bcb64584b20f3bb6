#include "d3d9/gl_check.h"

#ifdef VELMO_GL_CHECK

#include <cstdio>
#include <cstdlib>
#include <set>

#include <epoxy/gl.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace port::d3d9 {

namespace {

// The port call that last made the context current. GL runs on the thread of the window.
const char* currentCall = "(no port call yet)";

void GLAPIENTRY report(GLenum source, GLenum type, GLuint, GLenum, GLsizei, const GLchar* message,
                       const void*) {
    // Compiler messages are not GL errors: a shader that fails to compile is reported by its
    // compile status, which the effects check.
    if (source != GL_DEBUG_SOURCE_API || type != GL_DEBUG_TYPE_ERROR) {
        return;
    }
    std::fprintf(stderr, "GL error in %s: %s\n", currentCall, message);
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_print_stack_trace();
#endif
    std::fflush(stderr);
    std::abort();
}

} // namespace

void installGlCheck() {
    if (!epoxy_has_gl_extension("GL_KHR_debug") && epoxy_gl_version() < 43) {
        std::fprintf(stderr, "GL check: the context has no KHR_debug; GL errors go unseen\n");
        return;
    }
    glEnable(GL_DEBUG_OUTPUT);
    glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_FALSE);
    glDebugMessageControl(GL_DEBUG_SOURCE_API, GL_DEBUG_TYPE_ERROR, GL_DONT_CARE, 0, nullptr,
                          GL_TRUE);
    glDebugMessageCallback(report, nullptr);
}

void enterGlCall(const std::source_location& call) {
    currentCall = call.function_name();
}

void reportRefusal(const std::string& reason) {
    static std::set<std::string> reported;
    if (reported.insert(reason).second) {
        std::fprintf(stderr, "port: %s refused: %s\n", currentCall, reason.c_str());
    }
}

} // namespace port::d3d9

#endif
