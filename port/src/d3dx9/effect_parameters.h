// The parameters of an effect: the uniforms of all its programs, merged by full GLSL name, with
// their values kept here (not in GL) so that they persist across passes and programs and reach
// a program only when it is uploaded.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <d3dx9.h>
#include <epoxy/gl.h>

namespace port::d3dx9 {

class ParameterTable {
public:
    ParameterTable() = default;
    ~ParameterTable(); // lets go of the textures set
    ParameterTable(const ParameterTable&) = delete;
    ParameterTable& operator=(const ParameterTable&) = delete;

    // Adds the active uniforms of a linked program (the current program), taking the defaults
    // of new ones from it and giving samplers texture units. False with `error` set when a
    // uniform has a type the port does not support, has another type in an earlier program,
    // or there are more samplers than texture stages.
    bool addProgram(GLuint program, std::string& error);

    // Typed access by parameter name. A name the effect lacks, or a value that does not fit
    // the parameter's type, fails with D3DERR_INVALIDCALL and changes nothing.
    HRESULT setFloats(const char* name, const float* values, size_t count, bool onlyFirst);
    HRESULT getFloats(const char* name, float* values, size_t count, bool onlyFirst) const;
    HRESULT setInt(const char* name, int value, bool isBool);
    HRESULT getInt(const char* name, int* value, bool asBool) const;
    HRESULT setVector(const char* name, const D3DXVECTOR4& vector);
    HRESULT getVector(const char* name, D3DXVECTOR4* vector) const;
    HRESULT setMatrix(const char* name, const D3DXMATRIX& matrix);
    HRESULT getMatrix(const char* name, D3DXMATRIX* matrix) const;
    HRESULT setTexture(const char* name, IDirect3DBaseTexture9* texture);
    HRESULT getTexture(const char* name, IDirect3DBaseTexture9** texture) const;

    // Sends every value to the program at `programIndex` (the order of addProgram), which must
    // be the current GL program.
    void upload(size_t programIndex) const;

    // The texture unit of a sampler parameter, or -1.
    int samplerUnit(const std::string& name) const;
    // Texture units and textures of the samplers the program uses.
    struct Binding {
        int unit;
        IDirect3DBaseTexture9* texture;
    };
    std::vector<Binding> samplerBindings(size_t programIndex) const;
    int samplerCount() const { return samplers; }

private:
    enum class Kind { Float, Int, Bool, Sampler };
    struct Parameter {
        std::string name; // the GLSL name, without "[0]" for arrays
        GLenum type;
        Kind kind;
        unsigned rows = 1;    // a matrix has rows == columns > 1
        unsigned columns = 1; // components per row
        unsigned elements = 1;
        bool array = false; // declared as an array: its elements are named "name[i]"
        // elements * rows * columns components, row after row: floats of a float parameter,
        // ints of an int or bool one (bools as 0 or 1)
        std::vector<float> floats;
        std::vector<GLint> ints;
        IDirect3DBaseTexture9* texture = nullptr;
        int unit = -1;

        unsigned components() const { return rows * columns; }
    };
    // The part of a parameter that a name addresses: all of it, or one array element.
    struct View {
        Parameter* parameter = nullptr;
        unsigned element = 0;
        unsigned elementCount = 0;
    };
    struct Location {
        size_t parameter;
        GLint location;
        GLsizei count;
    };

    View find(const char* name) const;
    static void writeFloat(Parameter& p, size_t index, float value);
    static void writeInt(Parameter& p, size_t index, int value, bool isBool);
    static float readFloat(const Parameter& p, size_t index);
    static int readInt(const Parameter& p, size_t index, bool asBool);

    std::vector<Parameter> parameters;
    std::vector<std::vector<Location>> locations; // per program
    int samplers = 0;
};

} // namespace port::d3dx9
