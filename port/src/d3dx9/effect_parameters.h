// The parameters of an effect: the uniforms of all its programs, merged by full GLSL name, with
// their values kept here (not in GL) so that they persist across passes and programs and reach
// a program only when it is uploaded. Names are resolved through a hash table built once per
// effect, and each program is sent only the values that changed since it was last sent them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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

    // Sends the program at `programIndex` (the order of addProgram), which must be the current
    // GL program, every value that changed since it was last sent; the first upload sends all.
    void upload(size_t programIndex);

    // The texture unit of a sampler parameter, or -1.
    int samplerUnit(const std::string& name) const;
    // Texture units and textures of the samplers the program uses.
    struct Binding {
        int unit;
        IDirect3DBaseTexture9* texture;
    };
    template <typename F> void forEachSamplerBinding(size_t programIndex, F f) const {
        for (size_t index : samplersOf[programIndex]) {
            f(Binding{parameters[index].unit, parameters[index].texture});
        }
    }
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
        // Counts the changes of the value; a program holds it once sent the same count.
        uint32_t version = 1;

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
        uint32_t sentVersion = 0; // the parameter's version this program holds
    };
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };

    View find(const char* name) const;
    // Each answers whether the stored value changed.
    static bool writeFloat(Parameter& p, size_t index, float value);
    static bool writeInt(Parameter& p, size_t index, int value, bool isBool);
    static float readFloat(const Parameter& p, size_t index);
    static int readInt(const Parameter& p, size_t index, bool asBool);

    std::vector<Parameter> parameters;
    // Index into parameters by GLSL name.
    std::unordered_map<std::string, size_t, NameHash, std::equal_to<>> byName;
    std::vector<std::vector<Location>> locations; // per program
    std::vector<std::vector<size_t>> samplersOf;  // per program: its sampler parameters
    int samplers = 0;
};

} // namespace port::d3dx9
