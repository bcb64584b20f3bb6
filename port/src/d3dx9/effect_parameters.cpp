#include "d3dx9/effect_parameters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "d3d9/pipeline.h"

namespace port::d3dx9 {

namespace {

struct TypeInfo {
    GLenum type;
    int kind; // 0 float, 1 int, 2 bool, 3 sampler
    unsigned rows;
    unsigned columns;
};

constexpr TypeInfo kTypes[] = {
    {GL_FLOAT, 0, 1, 1},      {GL_FLOAT_VEC2, 0, 1, 2}, {GL_FLOAT_VEC3, 0, 1, 3},
    {GL_FLOAT_VEC4, 0, 1, 4}, {GL_FLOAT_MAT2, 0, 2, 2}, {GL_FLOAT_MAT3, 0, 3, 3},
    {GL_FLOAT_MAT4, 0, 4, 4}, {GL_INT, 1, 1, 1},        {GL_INT_VEC2, 1, 1, 2},
    {GL_INT_VEC3, 1, 1, 3},   {GL_INT_VEC4, 1, 1, 4},   {GL_BOOL, 2, 1, 1},
    {GL_BOOL_VEC2, 2, 1, 2},  {GL_BOOL_VEC3, 2, 1, 3},  {GL_BOOL_VEC4, 2, 1, 4},
    {GL_SAMPLER_2D, 3, 1, 1},
};

const TypeInfo* typeInfo(GLenum type) {
    for (const TypeInfo& info : kTypes) {
        if (info.type == type) {
            return &info;
        }
    }
    return nullptr;
}

} // namespace

ParameterTable::~ParameterTable() {
    for (Parameter& p : parameters) {
        if (p.texture != nullptr) {
            p.texture->Release();
        }
    }
}

bool ParameterTable::addProgram(GLuint program, std::string& error) {
    std::vector<Location>& own = locations.emplace_back();
    std::vector<size_t>& ownSamplers = samplersOf.emplace_back();
    GLint count = 0, longest = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &longest);
    std::vector<char> buffer(static_cast<size_t>(std::max(longest, 1)) + 1);
    for (GLint i = 0; i < count; ++i) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), static_cast<GLsizei>(buffer.size()),
                           &length, &size, &type, buffer.data());
        const std::string reported(buffer.data(), static_cast<size_t>(length));
        if (reported.starts_with("gl_")) {
            continue;
        }
        const bool array = reported.ends_with("[0]");
        const std::string name = array ? reported.substr(0, reported.size() - 3) : reported;
        const TypeInfo* info = typeInfo(type);
        if (info == nullptr) {
            error = "uniform " + name + " has a type the port does not support";
            return false;
        }
        const auto known = byName.find(name);
        auto it = known != byName.end() ? parameters.begin() + std::ptrdiff_t(known->second)
                                        : parameters.end();
        if (it != parameters.end() && it->type != type) {
            error = "uniform " + name + " has different types in different passes";
            return false;
        }
        if (it == parameters.end()) {
            Parameter p;
            p.name = name;
            p.type = type;
            p.kind = static_cast<Kind>(info->kind);
            p.rows = info->rows;
            p.columns = info->columns;
            p.elements = 0;
            p.array = array;
            byName.emplace(name, parameters.size());
            parameters.push_back(std::move(p));
            it = parameters.end() - 1;
        }
        Parameter& p = *it;
        const GLint base = glGetUniformLocation(program, reported.c_str());
        if (p.kind == Kind::Sampler) {
            if (array) {
                error = "sampler array " + name + " is not supported";
                return false;
            }
            if (p.unit < 0) {
                if (samplers == static_cast<int>(d3d9::kTextureStages)) {
                    error = "more samplers than texture stages";
                    return false;
                }
                p.unit = samplers++;
                p.elements = 1;
            }
            glUniform1i(base, p.unit);
            ownSamplers.push_back(static_cast<size_t>(it - parameters.begin()));
            continue;
        }
        // Defaults of the elements this program adds, from its initialisers.
        const unsigned newElements = std::max(p.elements, static_cast<unsigned>(size));
        p.floats.resize(size_t(newElements) * p.components());
        p.ints.resize(size_t(newElements) * p.components());
        for (unsigned e = p.elements; e < newElements; ++e) {
            const std::string element = array ? name + "[" + std::to_string(e) + "]" : name;
            const GLint at = glGetUniformLocation(program, element.c_str());
            const size_t first = size_t(e) * p.components();
            if (p.kind == Kind::Float) {
                float read[16] = {};
                glGetUniformfv(program, at, read);
                // GL returns matrices column after column; they are kept row after row.
                for (unsigned r = 0; r < p.rows; ++r) {
                    for (unsigned c = 0; c < p.columns; ++c) {
                        p.floats[first + r * p.columns + c] =
                            p.rows > 1 ? read[c * p.rows + r] : read[c];
                    }
                }
            } else {
                GLint read[4] = {};
                glGetUniformiv(program, at, read);
                for (unsigned c = 0; c < p.columns; ++c) {
                    p.ints[first + c] = p.kind == Kind::Bool ? (read[c] != 0) : read[c];
                }
            }
        }
        p.elements = newElements;
        own.push_back({static_cast<size_t>(it - parameters.begin()), base, size});
    }
    return true;
}

ParameterTable::View ParameterTable::find(const char* name) const {
    if (name == nullptr) {
        return {};
    }
    const std::string_view wanted(name);
    auto* self = const_cast<ParameterTable*>(this);
    if (const auto it = byName.find(wanted); it != byName.end()) {
        Parameter& p = self->parameters[it->second];
        return {&p, 0, p.elements};
    }
    // One element of an array: "name[i]", i in decimal digits only.
    const size_t open = wanted.rfind('[');
    if (open == std::string_view::npos || open + 2 >= wanted.size() || wanted.back() != ']') {
        return {};
    }
    const std::string_view digits = wanted.substr(open + 1, wanted.size() - open - 2);
    if (digits.size() > 6 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return {};
    }
    const unsigned index = static_cast<unsigned>(std::stoul(std::string(digits)));
    if (const auto it = byName.find(wanted.substr(0, open)); it != byName.end()) {
        Parameter& p = self->parameters[it->second];
        if (p.array && index < p.elements) {
            return {&p, index, 1};
        }
    }
    return {};
}

namespace {

// Stores the value and answers whether it differed, bit for bit (so that a NaN or a signed
// zero written over another is a change).
template <typename T> bool store(T& held, T value) {
    if (std::memcmp(&held, &value, sizeof(T)) == 0) {
        return false;
    }
    held = value;
    return true;
}

} // namespace

bool ParameterTable::writeFloat(Parameter& p, size_t index, float value) {
    if (p.kind == Kind::Float) {
        return store(p.floats[index], value);
    }
    if (p.kind == Kind::Int) {
        return store(p.ints[index], static_cast<GLint>(std::lround(value)));
    }
    return store(p.ints[index], GLint(value != 0.0f));
}

bool ParameterTable::writeInt(Parameter& p, size_t index, int value, bool isBool) {
    if (isBool || p.kind == Kind::Bool) {
        value = value != 0;
    }
    if (p.kind == Kind::Float) {
        return store(p.floats[index], static_cast<float>(value));
    }
    return store(p.ints[index], GLint(value));
}

float ParameterTable::readFloat(const Parameter& p, size_t index) {
    return p.kind == Kind::Float ? p.floats[index] : static_cast<float>(p.ints[index]);
}

int ParameterTable::readInt(const Parameter& p, size_t index, bool asBool) {
    if (p.kind == Kind::Float) {
        return asBool ? p.floats[index] != 0.0f : static_cast<int>(std::lround(p.floats[index]));
    }
    return asBool ? p.ints[index] != 0 : p.ints[index];
}

HRESULT ParameterTable::setFloats(const char* name, const float* values, size_t count,
                                  bool onlyFirst) {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->kind == Kind::Sampler ||
        (values == nullptr && count != 0)) {
        return D3DERR_INVALIDCALL;
    }
    const size_t first = size_t(v.element) * v.parameter->components();
    const size_t room = onlyFirst ? 1 : size_t(v.elementCount) * v.parameter->components();
    bool changed = false;
    for (size_t i = 0; i < std::min(count, room); ++i) {
        changed |= writeFloat(*v.parameter, first + i, values[i]);
    }
    v.parameter->version += changed;
    return D3D_OK;
}

HRESULT ParameterTable::getFloats(const char* name, float* values, size_t count,
                                  bool onlyFirst) const {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->kind == Kind::Sampler ||
        (values == nullptr && count != 0)) {
        return D3DERR_INVALIDCALL;
    }
    const size_t first = size_t(v.element) * v.parameter->components();
    const size_t room = onlyFirst ? 1 : size_t(v.elementCount) * v.parameter->components();
    for (size_t i = 0; i < std::min(count, room); ++i) {
        values[i] = readFloat(*v.parameter, first + i);
    }
    return D3D_OK;
}

HRESULT ParameterTable::setInt(const char* name, int value, bool isBool) {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->kind == Kind::Sampler) {
        return D3DERR_INVALIDCALL;
    }
    v.parameter->version +=
        writeInt(*v.parameter, size_t(v.element) * v.parameter->components(), value, isBool);
    return D3D_OK;
}

HRESULT ParameterTable::getInt(const char* name, int* value, bool asBool) const {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->kind == Kind::Sampler || value == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *value = readInt(*v.parameter, size_t(v.element) * v.parameter->components(), asBool);
    return D3D_OK;
}

HRESULT ParameterTable::setVector(const char* name, const D3DXVECTOR4& vector) {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->kind == Kind::Sampler || v.parameter->rows > 1) {
        return D3DERR_INVALIDCALL;
    }
    const float* components = vector;
    const size_t first = size_t(v.element) * v.parameter->components();
    bool changed = false;
    for (unsigned i = 0; i < std::min(v.parameter->columns, 4u); ++i) {
        changed |= writeFloat(*v.parameter, first + i, components[i]);
    }
    v.parameter->version += changed;
    return D3D_OK;
}

HRESULT ParameterTable::getVector(const char* name, D3DXVECTOR4* vector) const {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->kind == Kind::Sampler || v.parameter->rows > 1 ||
        vector == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *vector = D3DXVECTOR4();
    float* components = *vector;
    const size_t first = size_t(v.element) * v.parameter->components();
    for (unsigned i = 0; i < std::min(v.parameter->columns, 4u); ++i) {
        components[i] = readFloat(*v.parameter, first + i);
    }
    return D3D_OK;
}

HRESULT ParameterTable::setMatrix(const char* name, const D3DXMATRIX& matrix) {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->rows < 2) {
        return D3DERR_INVALIDCALL;
    }
    Parameter& p = *v.parameter;
    const size_t first = size_t(v.element) * p.components();
    bool changed = false;
    for (unsigned r = 0; r < p.rows; ++r) {
        for (unsigned c = 0; c < p.columns; ++c) {
            changed |= store(p.floats[first + r * p.columns + c], matrix.m[r][c]);
        }
    }
    p.version += changed;
    return D3D_OK;
}

HRESULT ParameterTable::getMatrix(const char* name, D3DXMATRIX* matrix) const {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->rows < 2 || matrix == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    const Parameter& p = *v.parameter;
    std::memset(matrix->m, 0, sizeof(matrix->m));
    const size_t first = size_t(v.element) * p.components();
    for (unsigned r = 0; r < p.rows; ++r) {
        for (unsigned c = 0; c < p.columns; ++c) {
            matrix->m[r][c] = p.floats[first + r * p.columns + c];
        }
    }
    return D3D_OK;
}

HRESULT ParameterTable::setTexture(const char* name, IDirect3DBaseTexture9* texture) {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->kind != Kind::Sampler) {
        return D3DERR_INVALIDCALL;
    }
    if (texture != nullptr) {
        texture->AddRef();
    }
    if (v.parameter->texture != nullptr) {
        v.parameter->texture->Release();
    }
    v.parameter->texture = texture;
    return D3D_OK;
}

HRESULT ParameterTable::getTexture(const char* name, IDirect3DBaseTexture9** texture) const {
    const View v = find(name);
    if (v.parameter == nullptr || v.parameter->kind != Kind::Sampler || texture == nullptr) {
        return D3DERR_INVALIDCALL;
    }
    *texture = v.parameter->texture;
    if (*texture != nullptr) {
        (*texture)->AddRef();
    }
    return D3D_OK;
}

void ParameterTable::upload(size_t programIndex) {
    for (Location& at : locations[programIndex]) {
        const Parameter& p = parameters[at.parameter];
        if (at.sentVersion == p.version) {
            continue;
        }
        at.sentVersion = p.version;
        const float* f = p.floats.data();
        const GLint* i = p.ints.data();
        switch (p.type) {
        case GL_FLOAT:
            glUniform1fv(at.location, at.count, f);
            break;
        case GL_FLOAT_VEC2:
            glUniform2fv(at.location, at.count, f);
            break;
        case GL_FLOAT_VEC3:
            glUniform3fv(at.location, at.count, f);
            break;
        case GL_FLOAT_VEC4:
            glUniform4fv(at.location, at.count, f);
            break;
        // Rows are kept row after row: transposing makes them the GLSL matrix's rows.
        case GL_FLOAT_MAT2:
            glUniformMatrix2fv(at.location, at.count, GL_TRUE, f);
            break;
        case GL_FLOAT_MAT3:
            glUniformMatrix3fv(at.location, at.count, GL_TRUE, f);
            break;
        case GL_FLOAT_MAT4:
            glUniformMatrix4fv(at.location, at.count, GL_TRUE, f);
            break;
        case GL_INT:
        case GL_BOOL:
            glUniform1iv(at.location, at.count, i);
            break;
        case GL_INT_VEC2:
        case GL_BOOL_VEC2:
            glUniform2iv(at.location, at.count, i);
            break;
        case GL_INT_VEC3:
        case GL_BOOL_VEC3:
            glUniform3iv(at.location, at.count, i);
            break;
        case GL_INT_VEC4:
        case GL_BOOL_VEC4:
            glUniform4iv(at.location, at.count, i);
            break;
        default:
            break;
        }
    }
}

int ParameterTable::samplerUnit(const std::string& name) const {
    const auto it = byName.find(name);
    if (it == byName.end() || parameters[it->second].kind != Kind::Sampler) {
        return -1;
    }
    return parameters[it->second].unit;
}

} // namespace port::d3dx9
