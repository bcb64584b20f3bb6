// Parser of the effect file format: a small tokenizer over the bytes, one function per block
// kind, GLSL bodies taken verbatim up to their matching brace.
#include "d3dx9/effect_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace port::d3dx9 {

namespace {

struct NamedValue {
    const char* name;
    DWORD value;
};

constexpr NamedValue kBools[] = {{"false", FALSE}, {"true", TRUE}};
constexpr NamedValue kBlends[] = {
    {"Zero", D3DBLEND_ZERO},
    {"One", D3DBLEND_ONE},
    {"SrcColor", D3DBLEND_SRCCOLOR},
    {"InvSrcColor", D3DBLEND_INVSRCCOLOR},
    {"SrcAlpha", D3DBLEND_SRCALPHA},
    {"InvSrcAlpha", D3DBLEND_INVSRCALPHA},
    {"DestAlpha", D3DBLEND_DESTALPHA},
    {"InvDestAlpha", D3DBLEND_INVDESTALPHA},
    {"DestColor", D3DBLEND_DESTCOLOR},
    {"InvDestColor", D3DBLEND_INVDESTCOLOR},
    {"SrcAlphaSat", D3DBLEND_SRCALPHASAT},
    {"BlendFactor", D3DBLEND_BLENDFACTOR},
    {"InvBlendFactor", D3DBLEND_INVBLENDFACTOR},
};
constexpr NamedValue kBlendOps[] = {
    {"Add", D3DBLENDOP_ADD},
    {"Subtract", D3DBLENDOP_SUBTRACT},
    {"RevSubtract", D3DBLENDOP_REVSUBTRACT},
    {"Min", D3DBLENDOP_MIN},
    {"Max", D3DBLENDOP_MAX},
};
constexpr NamedValue kCulls[] = {{"None", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}};
constexpr NamedValue kCompares[] = {
    {"Never", D3DCMP_NEVER},
    {"Less", D3DCMP_LESS},
    {"Equal", D3DCMP_EQUAL},
    {"LessEqual", D3DCMP_LESSEQUAL},
    {"Greater", D3DCMP_GREATER},
    {"NotEqual", D3DCMP_NOTEQUAL},
    {"GreaterEqual", D3DCMP_GREATEREQUAL},
    {"Always", D3DCMP_ALWAYS},
};
constexpr NamedValue kStencilOps[] = {
    {"Keep", D3DSTENCILOP_KEEP},       {"Zero", D3DSTENCILOP_ZERO},
    {"Replace", D3DSTENCILOP_REPLACE}, {"IncrSat", D3DSTENCILOP_INCRSAT},
    {"DecrSat", D3DSTENCILOP_DECRSAT}, {"Invert", D3DSTENCILOP_INVERT},
    {"Incr", D3DSTENCILOP_INCR},       {"Decr", D3DSTENCILOP_DECR},
};
constexpr NamedValue kFillModes[] = {
    {"Point", D3DFILL_POINT}, {"Wireframe", D3DFILL_WIREFRAME}, {"Solid", D3DFILL_SOLID}};
constexpr NamedValue kShadeModes[] = {{"Flat", D3DSHADE_FLAT}, {"Gouraud", D3DSHADE_GOURAUD}};
constexpr NamedValue kAddresses[] = {
    {"Wrap", D3DTADDRESS_WRAP},
    {"Mirror", D3DTADDRESS_MIRROR},
    {"Clamp", D3DTADDRESS_CLAMP},
    {"Border", D3DTADDRESS_BORDER},
};
constexpr NamedValue kFilters[] = {
    {"None", D3DTEXF_NONE},
    {"Point", D3DTEXF_POINT},
    {"Linear", D3DTEXF_LINEAR},
    {"Anisotropic", D3DTEXF_ANISOTROPIC},
};

// A state's values are either the names of one table or a number (an empty table).
struct StateInfo {
    const char* name;
    DWORD state;
    std::span<const NamedValue> values;
};

constexpr std::span<const NamedValue> kNumber;

constexpr StateInfo kRenderStates[] = {
    {"ZEnable", D3DRS_ZENABLE, kBools},
    {"FillMode", D3DRS_FILLMODE, kFillModes},
    {"ShadeMode", D3DRS_SHADEMODE, kShadeModes},
    {"ZWriteEnable", D3DRS_ZWRITEENABLE, kBools},
    {"AlphaTestEnable", D3DRS_ALPHATESTENABLE, kBools},
    {"LastPixel", D3DRS_LASTPIXEL, kBools},
    {"SrcBlend", D3DRS_SRCBLEND, kBlends},
    {"DestBlend", D3DRS_DESTBLEND, kBlends},
    {"CullMode", D3DRS_CULLMODE, kCulls},
    {"ZFunc", D3DRS_ZFUNC, kCompares},
    {"AlphaRef", D3DRS_ALPHAREF, kNumber},
    {"AlphaFunc", D3DRS_ALPHAFUNC, kCompares},
    {"DitherEnable", D3DRS_DITHERENABLE, kBools},
    {"AlphaBlendEnable", D3DRS_ALPHABLENDENABLE, kBools},
    {"FogEnable", D3DRS_FOGENABLE, kBools},
    {"SpecularEnable", D3DRS_SPECULARENABLE, kBools},
    {"StencilEnable", D3DRS_STENCILENABLE, kBools},
    {"StencilFail", D3DRS_STENCILFAIL, kStencilOps},
    {"StencilZFail", D3DRS_STENCILZFAIL, kStencilOps},
    {"StencilPass", D3DRS_STENCILPASS, kStencilOps},
    {"StencilFunc", D3DRS_STENCILFUNC, kCompares},
    {"StencilRef", D3DRS_STENCILREF, kNumber},
    {"StencilMask", D3DRS_STENCILMASK, kNumber},
    {"StencilWriteMask", D3DRS_STENCILWRITEMASK, kNumber},
    {"TextureFactor", D3DRS_TEXTUREFACTOR, kNumber},
    {"Lighting", D3DRS_LIGHTING, kBools},
    {"ColorWriteEnable", D3DRS_COLORWRITEENABLE, kNumber},
    {"BlendOp", D3DRS_BLENDOP, kBlendOps},
    {"SeparateAlphaBlendEnable", D3DRS_SEPARATEALPHABLENDENABLE, kBools},
    {"SrcBlendAlpha", D3DRS_SRCBLENDALPHA, kBlends},
    {"DestBlendAlpha", D3DRS_DESTBLENDALPHA, kBlends},
    {"BlendOpAlpha", D3DRS_BLENDOPALPHA, kBlendOps},
};

// States of the format that the device cannot follow, each with the one value the device always
// has and the reason. A pass may set that value (nothing then changes); any other fails to
// parse, rather than drawing otherwise than the file says.
struct UnsupportedState {
    StateInfo info;
    DWORD only;
    const char* reason;
};
constexpr UnsupportedState kUnsupportedStates[] = {
    {{"ScissorTestEnable", D3DRS_SCISSORTESTENABLE, kBools},
     FALSE,
     "the device has no scissor rectangle"},
};

constexpr StateInfo kSamplerStates[] = {
    {"AddressU", D3DSAMP_ADDRESSU, kAddresses}, {"AddressV", D3DSAMP_ADDRESSV, kAddresses},
    {"AddressW", D3DSAMP_ADDRESSW, kAddresses}, {"BorderColor", D3DSAMP_BORDERCOLOR, kNumber},
    {"MagFilter", D3DSAMP_MAGFILTER, kFilters}, {"MinFilter", D3DSAMP_MINFILTER, kFilters},
    {"MipFilter", D3DSAMP_MIPFILTER, kFilters}, {"MaxAnisotropy", D3DSAMP_MAXANISOTROPY, kNumber},
};

bool sameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

const StateInfo* findState(std::span<const StateInfo> table, std::string_view name) {
    for (const StateInfo& info : table) {
        if (sameName(info.name, name)) {
            return &info;
        }
    }
    return nullptr;
}

const UnsupportedState* findUnsupported(std::string_view name) {
    for (const UnsupportedState& unsupported : kUnsupportedStates) {
        if (sameName(unsupported.info.name, name)) {
            return &unsupported;
        }
    }
    return nullptr;
}

bool isRenderState(std::string_view name) {
    return findState(kRenderStates, name) != nullptr || findUnsupported(name) != nullptr;
}

bool isWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

struct Token {
    enum Kind { End, Word, Number, Symbol } kind = End;
    std::string_view text;
    int line = 0;
};

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    EffectParse run();

private:
    bool fail(int line, const std::string& message);
    bool skipSpace();
    bool next(Token& token);
    bool expect(char symbol, const char* where);
    bool expectWord(Token& token, const char* what);
    bool glslBody(std::string& body, int& line);
    bool prelude(int line);
    bool stage(StageKind kind);
    bool technique();
    bool pass(EffectTechnique& technique, const Token& keyword);
    bool stageReference(std::size_t& index, StageKind kind, int line);
    bool setting(std::span<const StateInfo> table, const Token& name, DWORD& state, DWORD& value);
    bool renderState(EffectPass& pass, const Token& name);
    bool samplerBlock(EffectPass& pass);

    std::string_view text_;
    std::size_t pos_ = 0;
    int line_ = 1;
    std::string error_;
    EffectDescription effect_;
    std::vector<int> stageLines_; // where each stage's GLSL begins
    // Names seen so far, pointing into the text; sampler states of the current pass.
    std::unordered_map<std::string_view, std::size_t> stageIndex_;
    std::unordered_set<std::string_view> techniqueNames_;
    std::set<std::pair<std::string_view, DWORD>> samplerStatesSet_;
    std::string prelude_;
    int preludeLine_ = 0; // 0: the file has no prelude
};

bool Parser::fail(int line, const std::string& message) {
    if (error_.empty()) {
        error_ = "line " + std::to_string(line) + ": " + message;
    }
    return false;
}

// Skips white space and comments; fails only on an unterminated block comment.
bool Parser::skipSpace() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == '\n') {
            ++line_;
            ++pos_;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++pos_;
        } else if (text_.substr(pos_, 2) == "//") {
            while (pos_ < text_.size() && text_[pos_] != '\n') {
                ++pos_;
            }
        } else if (text_.substr(pos_, 2) == "/*") {
            const int start = line_;
            const std::size_t end = text_.find("*/", pos_ + 2);
            if (end == std::string_view::npos) {
                return fail(start, "unterminated comment");
            }
            line_ += static_cast<int>(std::count(text_.begin() + pos_, text_.begin() + end, '\n'));
            pos_ = end + 2;
        } else {
            break;
        }
    }
    return true;
}

bool Parser::next(Token& token) {
    if (!skipSpace()) {
        return false;
    }
    token.line = line_;
    const std::size_t start = pos_;
    if (pos_ == text_.size()) {
        token.kind = Token::End;
        token.text = {};
        return true;
    }
    const char c = text_[pos_];
    if (isWordStart(c) || std::isdigit(static_cast<unsigned char>(c))) {
        while (pos_ < text_.size() && isWordChar(text_[pos_])) {
            ++pos_;
        }
        token.kind = isWordStart(c) ? Token::Word : Token::Number;
    } else if (c == '{' || c == '}' || c == '=' || c == ';') {
        ++pos_;
        token.kind = Token::Symbol;
    } else {
        return fail(line_, "unexpected character (code " +
                               std::to_string(static_cast<unsigned char>(c)) + ")");
    }
    token.text = text_.substr(start, pos_ - start);
    return true;
}

std::string describe(const Token& token) {
    return token.kind == Token::End ? "end of file" : "'" + std::string(token.text) + "'";
}

bool Parser::expect(char symbol, const char* where) {
    Token token;
    if (!next(token)) {
        return false;
    }
    if (token.kind != Token::Symbol || token.text[0] != symbol) {
        return fail(token.line, std::string("expected '") + symbol + "' " + where + ", found " +
                                    describe(token));
    }
    return true;
}

bool Parser::expectWord(Token& token, const char* what) {
    if (!next(token)) {
        return false;
    }
    if (token.kind != Token::Word) {
        return fail(token.line, std::string("expected ") + what + ", found " + describe(token));
    }
    return true;
}

// Takes the GLSL after an opening brace verbatim up to its matching brace. Braces inside GLSL
// comments do not count.
bool Parser::glslBody(std::string& body, int& line) {
    line = line_;
    const std::size_t start = pos_;
    std::size_t depth = 1;
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (text_.substr(pos_, 2) == "//") {
            while (pos_ < text_.size() && text_[pos_] != '\n') {
                ++pos_;
            }
            continue;
        }
        if (text_.substr(pos_, 2) == "/*") {
            const std::size_t end = text_.find("*/", pos_ + 2);
            const std::size_t stop = end == std::string_view::npos ? text_.size() : end + 2;
            line_ += static_cast<int>(std::count(text_.begin() + pos_, text_.begin() + stop, '\n'));
            pos_ = stop;
            continue;
        }
        if (c == '\n') {
            ++line_;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            body.assign(text_.substr(start, pos_ - start));
            ++pos_;
            return true;
        } else if (c == '\0') {
            return fail(line_, "NUL byte in GLSL");
        }
        ++pos_;
    }
    return fail(line, "unterminated GLSL block");
}

bool Parser::prelude(int line) {
    if (preludeLine_ != 0) {
        return fail(line, "second prelude");
    }
    return expect('{', "after 'prelude'") && glslBody(prelude_, preludeLine_);
}

bool Parser::stage(StageKind kind) {
    Token name;
    if (!expectWord(name, "a stage name")) {
        return false;
    }
    if (!stageIndex_.emplace(name.text, effect_.stages.size()).second) {
        return fail(name.line, "second stage named '" + std::string(name.text) + "'");
    }
    EffectStage s{std::string(name.text), kind, {}};
    int line = 0;
    if (!expect('{', "after the stage name") || !glslBody(s.source, line)) {
        return false;
    }
    effect_.stages.push_back(std::move(s));
    stageLines_.push_back(line);
    return true;
}

bool Parser::stageReference(std::size_t& index, StageKind kind, int line) {
    const char* kindName = kind == StageKind::Vertex ? "vertex" : "fragment";
    Token name;
    if (!expect('=', (std::string("after '") + kindName + "'").c_str()) ||
        !expectWord(name, "a stage name") || !expect(';', "after the stage name")) {
        return false;
    }
    if (index != SIZE_MAX) {
        return fail(line, std::string("second ") + kindName + " stage in the pass");
    }
    const auto found = stageIndex_.find(name.text);
    if (found == stageIndex_.end()) {
        return fail(name.line, "no " + std::string(kindName) + " stage named '" +
                                   std::string(name.text) + "' before this pass");
    }
    if (effect_.stages[found->second].kind != kind) {
        return fail(name.line, "'" + std::string(name.text) + "' is not a " + kindName + " stage");
    }
    index = found->second;
    return true;
}

// Parses "= value ;" after a state name.
bool Parser::setting(std::span<const StateInfo> table, const Token& name, DWORD& state,
                     DWORD& value) {
    const StateInfo* info = findState(table, name.text);
    if (info == nullptr) {
        return fail(name.line, "unknown state " + describe(name));
    }
    Token token;
    if (!expect('=', "after the state name") || !next(token)) {
        return false;
    }
    state = info->state;
    bool valid = false;
    if (info->values.empty() && token.kind == Token::Number) {
        const bool hex = token.text.size() > 2 && (token.text[1] == 'x' || token.text[1] == 'X') &&
                         token.text[0] == '0';
        const std::string_view digits = token.text.substr(hex ? 2 : 0);
        std::uint64_t n = 0;
        valid = digits.size() <= 10;
        for (const char c : digits) {
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                              : hex && std::isxdigit(static_cast<unsigned char>(c))
                                  ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                  : -1;
            valid = valid && digit >= 0;
            n = n * (hex ? 16 : 10) + static_cast<std::uint64_t>(std::max(digit, 0));
        }
        valid = valid && n <= UINT32_MAX;
        value = static_cast<DWORD>(n);
    }
    for (const NamedValue& v : info->values) {
        if (token.kind == Token::Word && sameName(v.name, token.text)) {
            valid = true;
            value = v.value;
        }
    }
    if (!valid) {
        return fail(token.line, describe(token) + " is not a value of " + info->name);
    }
    return expect(';', "after the value");
}

// Parses a render state setting of a pass after its name.
bool Parser::renderState(EffectPass& pass, const Token& name) {
    DWORD state = 0;
    DWORD value = 0;
    if (const UnsupportedState* unsupported = findUnsupported(name.text)) {
        if (!setting({&unsupported->info, 1}, name, state, value)) {
            return false;
        }
        if (value != unsupported->only) {
            std::string shown = std::to_string(value);
            for (const NamedValue& v : unsupported->info.values) {
                if (v.value == value) {
                    shown = v.name;
                }
            }
            return fail(name.line, std::string(unsupported->info.name) + " = " + shown +
                                       " is not supported: " + unsupported->reason);
        }
        return true; // the device's own value: the pass changes nothing
    }
    if (findState(kRenderStates, name.text) == nullptr &&
        findState(kSamplerStates, name.text) != nullptr) {
        return fail(name.line,
                    describe(name) + " is a sampler state: it belongs in a sampler block");
    }
    if (!setting(kRenderStates, name, state, value)) {
        return false;
    }
    for (const RenderStateSetting& s : pass.renderStates) {
        if (s.state == state) {
            return fail(name.line, "second setting of " + describe(name));
        }
    }
    pass.renderStates.push_back({static_cast<D3DRENDERSTATETYPE>(state), value});
    return true;
}

bool Parser::samplerBlock(EffectPass& pass) {
    Token sampler;
    if (!expectWord(sampler, "a sampler name") || !expect('{', "after the sampler name")) {
        return false;
    }
    for (;;) {
        Token token;
        if (!next(token)) {
            return false;
        }
        if (token.kind == Token::Symbol && token.text == "}") {
            return true;
        }
        if (token.kind != Token::Word) {
            return fail(token.line, "expected a sampler state, found " + describe(token));
        }
        if (findState(kSamplerStates, token.text) == nullptr && isRenderState(token.text)) {
            return fail(token.line, describe(token) +
                                        " is a render state: it belongs in the pass, not in "
                                        "sampler " +
                                        describe(sampler));
        }
        DWORD state = 0;
        DWORD value = 0;
        if (!setting(kSamplerStates, token, state, value)) {
            return false;
        }
        if (!samplerStatesSet_.emplace(sampler.text, state).second) {
            return fail(token.line, "second setting of " + describe(token) + " for sampler " +
                                        describe(sampler));
        }
        pass.samplerStates.push_back(
            {std::string(sampler.text), static_cast<D3DSAMPLERSTATETYPE>(state), value});
    }
}

bool Parser::pass(EffectTechnique& technique, const Token& keyword) {
    Token number;
    if (!next(number)) {
        return false;
    }
    const std::string expected = std::to_string(technique.passes.size());
    if (number.text != expected) {
        return fail(number.line, "expected pass " + expected + ", found " + describe(number));
    }
    if (!expect('{', "after the pass number")) {
        return false;
    }
    EffectPass pass{SIZE_MAX, SIZE_MAX, {}, {}};
    samplerStatesSet_.clear();
    for (;;) {
        Token token;
        if (!next(token)) {
            return false;
        }
        if (token.kind == Token::Symbol && token.text == "}") {
            break;
        }
        if (token.kind != Token::Word) {
            return fail(token.line, "expected a pass setting, found " + describe(token));
        }
        bool parsed = false;
        if (token.text == "vertex") {
            parsed = stageReference(pass.vertexStage, StageKind::Vertex, token.line);
        } else if (token.text == "fragment") {
            parsed = stageReference(pass.fragmentStage, StageKind::Fragment, token.line);
        } else if (token.text == "sampler") {
            parsed = samplerBlock(pass);
        } else {
            parsed = renderState(pass, token);
        }
        if (!parsed) {
            return false;
        }
    }
    if (pass.vertexStage == SIZE_MAX || pass.fragmentStage == SIZE_MAX) {
        return fail(keyword.line,
                    "pass " + expected + " of technique '" + technique.name + "' lacks a " +
                        (pass.vertexStage == SIZE_MAX ? "vertex" : "fragment") + " stage");
    }
    technique.passes.push_back(std::move(pass));
    return true;
}

bool Parser::technique() {
    Token name;
    if (!expectWord(name, "a technique name")) {
        return false;
    }
    if (!techniqueNames_.insert(name.text).second) {
        return fail(name.line, "second technique named '" + std::string(name.text) + "'");
    }
    if (!expect('{', "after the technique name")) {
        return false;
    }
    EffectTechnique technique{std::string(name.text), {}};
    for (;;) {
        Token token;
        if (!next(token)) {
            return false;
        }
        if (token.kind == Token::Symbol && token.text == "}") {
            break;
        }
        if (token.text != "pass") {
            return fail(token.line, "expected 'pass' or '}', found " + describe(token));
        }
        if (!pass(technique, token)) {
            return false;
        }
    }
    if (technique.passes.empty()) {
        return fail(name.line, "technique '" + technique.name + "' has no pass");
    }
    effect_.techniques.push_back(std::move(technique));
    return true;
}

EffectParse Parser::run() {
    for (;;) {
        Token token;
        if (!next(token)) {
            return {{}, error_};
        }
        if (token.kind == Token::End) {
            break;
        }
        bool parsed = false;
        if (token.text == "prelude") {
            parsed = prelude(token.line);
        } else if (token.text == "vertex") {
            parsed = stage(StageKind::Vertex);
        } else if (token.text == "fragment") {
            parsed = stage(StageKind::Fragment);
        } else if (token.text == "technique") {
            parsed = technique();
        } else {
            fail(token.line, "expected 'prelude', 'vertex', 'fragment' or 'technique', found " +
                                 describe(token));
        }
        if (!parsed) {
            return {{}, error_};
        }
    }
    if (effect_.techniques.empty()) {
        fail(line_, "no technique");
        return {{}, error_};
    }
    // Each stage becomes one GLSL source; #line keeps compiler messages on the file's lines.
    for (std::size_t i = 0; i < effect_.stages.size(); ++i) {
        std::string source = "#version 330 core\n";
        if (preludeLine_ != 0) {
            source += "#line " + std::to_string(preludeLine_) + "\n" + prelude_ + "\n";
        }
        source += "#line " + std::to_string(stageLines_[i]) + "\n" + effect_.stages[i].source;
        effect_.stages[i].source = std::move(source) + "\n";
    }
    return {std::move(effect_), {}};
}

} // namespace

EffectParse parseEffectFile(const void* bytes, std::size_t size) {
    if (bytes == nullptr || size == 0) {
        return {{}, "no effect data"};
    }
    std::string_view text(static_cast<const char*>(bytes), size);
    while (!text.empty() && text.back() == '\0') {
        text.remove_suffix(1);
    }
    return Parser(text).run();
}

} // namespace port::d3dx9
