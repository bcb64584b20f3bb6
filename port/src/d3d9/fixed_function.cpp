#include "d3d9/fixed_function.h"

#include <string>

#include <SDL.h>

#include "d3d9/vertex_attributes.h"

namespace port::d3d9 {

namespace {

// The one vertex format the emulation draws: a position and one 2D texture coordinate set.
constexpr DWORD kQuadFormat = D3DFVF_XYZ | D3DFVF_TEX1;

// Stage arguments are D3DTA_DIFFUSE to D3DTA_TFACTOR (0 to 3) without modifier bits.
constexpr DWORD kLastArgument = D3DTA_TFACTOR;

// A configuration in 32 bits: colour op, args 1 and 2; alpha op, args 1 and 2; whether the
// stage has a texture; the alpha test's comparison (D3DCMP_ALWAYS when the test is off).
struct Configuration {
    DWORD colorOp, colorArg1, colorArg2;
    DWORD alphaOp, alphaArg1, alphaArg2;
    bool textured;
    DWORD alphaFunc;

    uint32_t key() const {
        return colorOp | colorArg1 << 3 | colorArg2 << 5 | alphaOp << 7 | alphaArg1 << 10 |
               alphaArg2 << 12 | uint32_t(textured) << 14 | alphaFunc << 15;
    }
    static Configuration fromKey(uint32_t key) {
        return {key & 7,       key >> 3 & 3,  key >> 5 & 3,         key >> 7 & 7,
                key >> 10 & 3, key >> 12 & 3, (key >> 14 & 1) != 0, key >> 15 & 15};
    }
};

bool coveredOp(DWORD op) {
    return op >= D3DTOP_DISABLE && op <= D3DTOP_MODULATE;
}

// The GLSL value of a stage argument. At stage 0 the current colour is the diffuse colour.
const char* argument(DWORD arg) {
    switch (arg) {
    case D3DTA_TEXTURE:
        return "tex";
    case D3DTA_TFACTOR:
        return "textureFactor";
    default: // D3DTA_DIFFUSE, D3DTA_CURRENT
        return "diffuse";
    }
}

// The GLSL of a stage operation on two arguments, taking the components `part` (".rgb", ".a").
std::string operation(DWORD op, DWORD arg1, DWORD arg2, const char* part) {
    const std::string a = std::string(argument(arg1)) + part;
    const std::string b = std::string(argument(arg2)) + part;
    switch (op) {
    case D3DTOP_SELECTARG1:
        return a;
    case D3DTOP_SELECTARG2:
        return b;
    case D3DTOP_MODULATE:
        return a + " * " + b;
    default: // D3DTOP_DISABLE: the stage passes the current value on
        return std::string("diffuse") + part;
    }
}

// The GLSL comparison that lets a fragment through the alpha test, or null for none.
const char* alphaComparison(DWORD func) {
    switch (func) {
    case D3DCMP_NEVER:
        return "false";
    case D3DCMP_LESS:
        return "alphaByte < alphaRef";
    case D3DCMP_EQUAL:
        return "alphaByte == alphaRef";
    case D3DCMP_LESSEQUAL:
        return "alphaByte <= alphaRef";
    case D3DCMP_GREATER:
        return "alphaByte > alphaRef";
    case D3DCMP_NOTEQUAL:
        return "alphaByte != alphaRef";
    case D3DCMP_GREATEREQUAL:
        return "alphaByte >= alphaRef";
    default:
        return nullptr;
    }
}

const char* const kVertexSource = R"(#version 330 core
uniform mat4 worldViewProjection;
in vec3 inPosition;
in vec2 inTexCoord0;
out vec2 texCoord;
void main() {
    gl_Position = vec4(inPosition, 1.0) * worldViewProjection;
    texCoord = inTexCoord0;
}
)";

std::string fragmentSource(const Configuration& c) {
    std::string s = "#version 330 core\n"
                    "uniform sampler2D stageTexture;\n"
                    "uniform vec4 textureFactor;\n"
                    "uniform float alphaRef;\n"
                    "in vec2 texCoord;\n"
                    "out vec4 fragColor;\n"
                    "void main() {\n"
                    "    vec4 diffuse = vec4(1.0);\n";
    s += c.textured ? "    vec4 tex = texture(stageTexture, texCoord);\n"
                    : "    vec4 tex = vec4(1.0);\n";
    if (c.colorOp == D3DTOP_DISABLE) {
        // Disabling stage 0's colour disables the whole stage: the diffuse colour goes out.
        s += "    fragColor = diffuse;\n";
    } else {
        s += "    fragColor = vec4(" + operation(c.colorOp, c.colorArg1, c.colorArg2, ".rgb") +
             ", " + operation(c.alphaOp, c.alphaArg1, c.alphaArg2, ".a") + ");\n";
    }
    if (const char* comparison = alphaComparison(c.alphaFunc)) {
        // Direct3D compares the alpha as a byte with the reference value.
        s += "    float alphaByte = floor(clamp(fragColor.a, 0.0, 1.0) * 255.0 + 0.5);\n";
        s += std::string("    if (!(") + comparison + ")) discard;\n";
    }
    return s + "}\n";
}

GLuint compile(GLenum type, const std::string& source) {
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        SDL_Log("fixed-function emulation: a generated stage does not compile: %s", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

void multiply(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX& out) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r][c] = a.m[r][0] * b.m[0][c] + a.m[r][1] * b.m[1][c] + a.m[r][2] * b.m[2][c] +
                          a.m[r][3] * b.m[3][c];
        }
    }
}

} // namespace

GLuint FixedFunction::program(DWORD fvf, const DWORD* stage0, bool textured, bool alphaTest,
                              DWORD alphaFunc) {
    const Configuration c = {stage0[D3DTSS_COLOROP],
                             stage0[D3DTSS_COLORARG1],
                             stage0[D3DTSS_COLORARG2],
                             stage0[D3DTSS_ALPHAOP],
                             stage0[D3DTSS_ALPHAARG1],
                             stage0[D3DTSS_ALPHAARG2],
                             textured,
                             alphaTest ? alphaFunc : D3DCMP_ALWAYS};
    if (fvf != kQuadFormat || !coveredOp(c.colorOp) || !coveredOp(c.alphaOp) ||
        c.colorArg1 > kLastArgument || c.colorArg2 > kLastArgument || c.alphaArg1 > kLastArgument ||
        c.alphaArg2 > kLastArgument || c.alphaFunc == 0 || c.alphaFunc > D3DCMP_ALWAYS) {
        if (!reportedUncovered) {
            SDL_Log("fixed-function emulation: nothing drawn for vertex format 0x%x with stage 0 "
                    "colour op %u (%u, %u), alpha op %u (%u, %u), alpha test %u",
                    unsigned(fvf), unsigned(c.colorOp), unsigned(c.colorArg1),
                    unsigned(c.colorArg2), unsigned(c.alphaOp), unsigned(c.alphaArg1),
                    unsigned(c.alphaArg2), unsigned(c.alphaFunc));
            reportedUncovered = true; // once per device: such draws tend to repeat every frame
        }
        selected = nullptr;
        return 0;
    }
    const uint32_t key = c.key();
    auto it = programs.find(key);
    if (it == programs.end()) {
        it = programs.emplace(key, build(key)).first;
    }
    selected = &it->second;
    return selected->name;
}

FixedFunction::Program FixedFunction::build(uint32_t key) {
    Program p;
    const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexSource);
    const GLuint fragment =
        compile(GL_FRAGMENT_SHADER, fragmentSource(Configuration::fromKey(key)));
    if (vertex != 0 && fragment != 0) {
        p.name = glCreateProgram();
        glAttachShader(p.name, vertex);
        glAttachShader(p.name, fragment);
        glBindAttribLocation(p.name, kPositionSlot, kVertexAttributeNames[kPositionSlot]);
        glBindAttribLocation(p.name, kTexCoord0Slot, kVertexAttributeNames[kTexCoord0Slot]);
        glBindFragDataLocation(p.name, 0, "fragColor");
        glLinkProgram(p.name);
        GLint linked = GL_FALSE;
        glGetProgramiv(p.name, GL_LINK_STATUS, &linked);
        if (!linked) {
            SDL_Log("fixed-function emulation: a generated program does not link");
            glDeleteProgram(p.name);
            p.name = 0;
        }
    }
    for (GLuint shader : {vertex, fragment}) {
        if (shader != 0) {
            glDeleteShader(shader);
        }
    }
    if (p.name != 0) {
        p.worldViewProjection = glGetUniformLocation(p.name, "worldViewProjection");
        p.textureFactor = glGetUniformLocation(p.name, "textureFactor");
        p.alphaRef = glGetUniformLocation(p.name, "alphaRef");
        GLint current = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &current);
        glUseProgram(p.name);
        glUniform1i(glGetUniformLocation(p.name, "stageTexture"), 0); // texture stage 0's unit
        glUseProgram(static_cast<GLuint>(current));
    }
    return p;
}

void FixedFunction::setUniforms(const Inputs& in) const {
    if (selected == nullptr || selected->name == 0) {
        return;
    }
    D3DMATRIX worldView;
    D3DMATRIX worldViewProjection;
    multiply(*in.world, *in.view, worldView);
    multiply(worldView, *in.projection, worldViewProjection);
    // The rows of the row-vector matrix become the GLSL matrix's rows, and the vertex stage
    // multiplies the vector on the left, as Direct3D does.
    glUniformMatrix4fv(selected->worldViewProjection, 1, GL_TRUE, &worldViewProjection.m[0][0]);
    const DWORD f = in.textureFactor;
    glUniform4f(selected->textureFactor, float(f >> 16 & 0xFF) / 255.0f,
                float(f >> 8 & 0xFF) / 255.0f, float(f & 0xFF) / 255.0f,
                float(f >> 24 & 0xFF) / 255.0f);
    glUniform1f(selected->alphaRef, float(in.alphaRef & 0xFF));
}

} // namespace port::d3d9
