#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// The parser and the attribute mapping are internals of the port, not part of its interface.
#include "d3dx9/effect_file.h"
#include "../../port/src/d3d9/vertex_attributes.h"

namespace {

using port::d3dx9::EffectDescription;
using port::d3dx9::EffectParse;
using port::d3dx9::parseEffectFile;
using port::d3dx9::StageKind;

EffectParse parse(const std::string& text) {
    return parseEffectFile(text.data(), text.size());
}

std::string testEffect() {
    const auto path = std::filesystem::path(__FILE__).parent_path() / "../../effects/TestEffect.fx";
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using States = std::vector<std::pair<DWORD, DWORD>>;

States renderStates(const port::d3dx9::EffectPass& pass) {
    States states;
    for (const auto& s : pass.renderStates) {
        states.emplace_back(s.state, s.value);
    }
    return states;
}

const std::string kStages = R"(
vertex v { void main() { gl_Position = vec4(0.0); } }
fragment f { out vec4 c; void main() { c = vec4(1.0); } }
)";

// A file with one pass holding the given settings.
std::string onePass(const std::string& settings) {
    return kStages + "technique T { pass 0 { vertex = v; fragment = f; " + settings + " } }";
}

TEST(EffectFile, TestEffectHasItsTechniquesPassesAndStates) {
    const std::string text = testEffect();
    ASSERT_FALSE(text.empty());
    const EffectParse result = parse(text);
    ASSERT_TRUE(result.ok()) << result.error;
    const EffectDescription& effect = result.effect;

    ASSERT_EQ(effect.techniques.size(), 2u);
    const auto& textured = effect.techniques[0];
    const auto& flat = effect.techniques[1];
    EXPECT_EQ(textured.name, "Textured");
    EXPECT_EQ(flat.name, "Flat");
    ASSERT_EQ(textured.passes.size(), 2u);
    ASSERT_EQ(flat.passes.size(), 1u);

    EXPECT_EQ(renderStates(textured.passes[0]),
              (States{{14, 0}, {27, 1}, {19, 5}, {20, 2}, {22, 1}}));
    EXPECT_EQ(renderStates(textured.passes[1]), (States{{23, 4}, {20, 6}}));
    EXPECT_EQ(renderStates(flat.passes[0]), (States{{7, 0}, {22, 1}}));

    States samplerStates;
    for (const auto& s : textured.passes[0].samplerStates) {
        EXPECT_EQ(s.sampler, "tex");
        samplerStates.emplace_back(s.state, s.value);
    }
    EXPECT_EQ(samplerStates, (States{{6, 2}, {5, 2}, {7, 0}, {1, 3}, {2, 3}}));
    EXPECT_TRUE(textured.passes[1].samplerStates.empty());

    // Both passes of "Textured" share one vertex stage; stages are kept once each.
    ASSERT_EQ(effect.stages.size(), 4u);
    const auto& p0 = textured.passes[0];
    const auto& p1 = textured.passes[1];
    EXPECT_EQ(p0.vertexStage, p1.vertexStage);
    EXPECT_EQ(effect.stages[p0.vertexStage].name, "transform");
    EXPECT_EQ(effect.stages[p0.vertexStage].kind, StageKind::Vertex);
    EXPECT_EQ(effect.stages[p0.fragmentStage].name, "textured");
    EXPECT_EQ(effect.stages[p1.fragmentStage].name, "flat");
    EXPECT_EQ(effect.stages[p1.fragmentStage].kind, StageKind::Fragment);
    EXPECT_EQ(effect.stages[flat.passes[0].vertexStage].name, "screen");

    // Every stage is the version line, the prelude, then its own GLSL.
    for (const auto& stage : effect.stages) {
        SCOPED_TRACE(stage.name);
        EXPECT_EQ(stage.source.rfind("#version 330 core\n", 0), 0u);
        const auto prelude = stage.source.find("struct PointLight");
        const auto main = stage.source.find("void main()");
        ASSERT_NE(prelude, std::string::npos);
        ASSERT_NE(main, std::string::npos);
        EXPECT_LT(prelude, main);
        EXPECT_EQ(stage.source.find("technique"), std::string::npos);
    }
}

TEST(EffectFile, StagesCarryTheFileLineNumbersAndBracesInCommentsDoNotCount) {
    const std::string text = "prelude {\n"           // line 1
                             "  uniform float a;\n"  // 2
                             "}\n"                   // 3
                             "/* a comment { */\n"   // 4
                             "vertex v {\n"          // 5
                             "  // not a brace: }\n" // 6
                             "  void main() { gl_Position = vec4(a); }\n"
                             "}\n"
                             "fragment f { /* } */ out vec4 c; void main() { c = vec4(a); } }\n"
                             "technique T { pass 0 { vertex = v; fragment = f; } }\n";
    const EffectParse result = parse(text);
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_EQ(result.effect.stages.size(), 2u);
    const std::string& vertex = result.effect.stages[0].source;
    EXPECT_EQ(vertex, "#version 330 core\n#line 1\n\n  uniform float a;\n\n#line 5\n\n"
                      "  // not a brace: }\n  void main() { gl_Position = vec4(a); }\n\n");
    EXPECT_NE(result.effect.stages[1].source.find("#line 9\n /* } */ out vec4 c;"),
              std::string::npos);
}

TEST(EffectFile, StateNamesAndValuesResolveToTheirDirect3DNumbers) {
    struct Case {
        const char* setting;
        DWORD state;
        DWORD value;
    };
    const Case cases[] = {
        {"ZEnable = true;", 7, 1},
        {"FillMode = Wireframe;", 8, 2},
        {"ShadeMode = Flat;", 9, 1},
        {"AlphaTestEnable = TRUE;", 15, 1},
        {"SrcBlend = InvDestColor;", 19, 10},
        {"DestBlend = Zero;", 20, 1},
        {"cullmode = ccw;", 22, 3},
        {"ZFunc = GreaterEqual;", 23, 7},
        {"AlphaRef = 128;", 24, 128},
        {"AlphaFunc = NotEqual;", 25, 6},
        {"StencilFail = IncrSat;", 53, 4},
        {"StencilPass = Decr;", 55, 8},
        {"StencilWriteMask = 0xFF;", 59, 255},
        {"TextureFactor = 0xffffffff;", 60, 0xffffffff},
        {"TextureFactor = 4294967295;", 60, 0xffffffff},
        {"ColorWriteEnable = 0;", 168, 0},
        {"BlendOp = RevSubtract;", 171, 3},
        {"SrcBlendAlpha = BlendFactor;", 207, 14},
        {"BlendOpAlpha = Max;", 209, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting);
        const EffectParse result = parse(onePass(c.setting));
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(renderStates(result.effect.techniques[0].passes[0]),
                  (States{{c.state, c.value}}));
    }

    const EffectParse samplers = parse(
        onePass("sampler a { AddressU = Mirror; addressw = border; MaxAnisotropy = 8; } "
                "sampler b { AddressU = Wrap; MinFilter = Anisotropic; MagFilter = Point; }"));
    ASSERT_TRUE(samplers.ok()) << samplers.error;
    std::vector<std::tuple<std::string, DWORD, DWORD>> got;
    for (const auto& s : samplers.effect.techniques[0].passes[0].samplerStates) {
        got.emplace_back(s.sampler, s.state, s.value);
    }
    EXPECT_EQ(got,
              (std::vector<std::tuple<std::string, DWORD, DWORD>>{
                  {"a", 1, 2}, {"a", 3, 4}, {"a", 10, 8}, {"b", 1, 1}, {"b", 6, 3}, {"b", 5, 1}}));
}

// A state the device cannot follow is accepted at the value the device always has (scissoring
// off, Direct3D's default): the pass sets nothing for it.
TEST(EffectFile, AStateTheDeviceCannotFollowIsAcceptedAtItsDefault) {
    for (const char* setting : {"ScissorTestEnable = false;", "scissortestenable = FALSE;"}) {
        SCOPED_TRACE(setting);
        const EffectParse result = parse(onePass(std::string("ZEnable = true; ") + setting));
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(renderStates(result.effect.techniques[0].passes[0]), (States{{7, 1}}));
    }
}

TEST(EffectFile, BrokenFilesFailWithAMessageNamingTheLine) {
    struct Case {
        const char* what;
        std::string text;
        const char* error;
    };
    const std::string twoTechniques = onePass("") + "\ntechnique T { pass 0 { vertex = v; "
                                                    "fragment = f; } }";
    const Case cases[] = {
        {"empty", "", "no effect data"},
        {"only comments", "// nothing\n/* here */\n", "line 3: no technique"},
        {"unknown state", onePass("\nZWriteEnabel = false;"),
         "line 5: unknown state 'ZWriteEnabel'"},
        {"bad value", onePass("CullMode = Sideways;"), "'Sideways' is not a value of CullMode"},
        {"state the device cannot follow", onePass("ScissorTestEnable = true;"),
         "ScissorTestEnable = true is not supported: the device has no scissor rectangle"},
        {"state the device cannot follow, any case", onePass("scissortestenable = TRUE;"),
         "ScissorTestEnable = true is not supported"},
        {"bad value of a state the device cannot follow", onePass("ScissorTestEnable = 1;"),
         "'1' is not a value of ScissorTestEnable"},
        {"number for a named state", onePass("SrcBlend = 5;"), "'5' is not a value of SrcBlend"},
        {"name for a number", onePass("AlphaRef = Zero;"), "'Zero' is not a value of AlphaRef"},
        {"number too large", onePass("StencilRef = 4294967296;"), "is not a value of StencilRef"},
        {"bad hex digits", onePass("StencilRef = 0xfg;"), "'0xfg' is not a value of StencilRef"},
        {"unknown sampler state", onePass("sampler s { Filter = Linear; }"),
         "unknown state 'Filter'"},
        {"render state in a sampler block", onePass("sampler s {\n CullMode = None; }"),
         "line 5: 'CullMode' is a render state: it belongs in the pass, not in sampler 's'"},
        {"unsupported render state in a sampler block",
         onePass("sampler s { ScissorTestEnable = false; }"),
         "'ScissorTestEnable' is a render state: it belongs in the pass, not in sampler 's'"},
        {"sampler state in a pass", onePass("\nAddressU = Clamp;"),
         "line 5: 'AddressU' is a sampler state: it belongs in a sampler block"},
        {"missing fragment stage", kStages + "technique T {\n pass 0 { vertex = v; } }",
         "line 5: pass 0 of technique 'T' lacks a fragment stage"},
        {"missing vertex stage", kStages + "technique T { pass 0 { fragment = f; } }",
         "lacks a vertex stage"},
        {"undefined stage", kStages + "technique T { pass 0 { vertex = v; fragment = g; } }",
         "no fragment stage named 'g'"},
        {"stage defined after use",
         "technique T { pass 0 { vertex = v; fragment = f; } }" + kStages,
         "no vertex stage named 'v'"},
        {"stage of the wrong kind", kStages + "technique T { pass 0 { vertex = f; } }",
         "'f' is not a vertex stage"},
        {"two vertex stages", onePass("vertex = v;"), "second vertex stage in the pass"},
        {"unterminated GLSL", "vertex v {\n void main() { }\n", "line 1: unterminated GLSL block"},
        {"unterminated technique", kStages + "technique T { pass 0 { vertex = v; fragment = f; }",
         "expected 'pass' or '}', found end of file"},
        {"unterminated comment", kStages + "/* technique", "line 4: unterminated comment"},
        {"missing semicolon", onePass("ZEnable = true"), "expected ';' after the value, found '}'"},
        {"duplicate technique", twoTechniques, "line 5: second technique named 'T'"},
        {"duplicate stage", kStages + "fragment v { }", "second stage named 'v'"},
        {"duplicate render state", onePass("ZEnable = true; ZEnable = false;"),
         "second setting of 'ZEnable'"},
        {"duplicate sampler state", onePass("sampler s { MinFilter = Point; MINFILTER = Linear; }"),
         "second setting of 'MINFILTER' for sampler 's'"},
        {"second prelude", "prelude { } prelude { }", "line 1: second prelude"},
        {"passes out of order", kStages + "technique T { pass 1 { } }",
         "expected pass 0, found '1'"},
        {"technique without a pass", kStages + "technique T { }", "technique 'T' has no pass"},
        {"unknown keyword", "shader x { }",
         "expected 'prelude', 'vertex', 'fragment' or 'technique'"},
        {"stray character", onePass("ZEnable = @;"), "unexpected character (code 64)"},
        {"NUL inside the file", std::string("technique\0T", 11), "unexpected character (code 0)"},
        {"NUL inside GLSL", std::string("vertex v { \0 }", 14), "NUL byte in GLSL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const EffectParse result = parse(c.text);
        EXPECT_FALSE(result.ok());
        EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
        EXPECT_TRUE(result.effect.techniques.empty());
    }
    EXPECT_EQ(parseEffectFile(nullptr, 10).error, "no effect data");
}

TEST(EffectFile, TrailingNulBytesAreIgnored) {
    const std::string text = onePass("");
    const std::string terminated = text + std::string(3, '\0');
    EXPECT_TRUE(parse(terminated).ok()) << parse(terminated).error;
}

// Every cut of a valid file fails with a message or parses (a cut after a whole technique);
// each copy is exactly as long as the cut, so a read past the end shows under AddressSanitizer.
TEST(EffectFile, EveryTruncationOfTheTestEffectIsHandled) {
    const std::string text = testEffect();
    ASSERT_FALSE(text.empty());
    for (std::size_t size = 0; size < text.size(); ++size) {
        const auto copy = std::make_unique<char[]>(size == 0 ? 1 : size);
        std::memcpy(copy.get(), text.data(), size);
        const EffectParse result = parseEffectFile(copy.get(), size);
        EXPECT_EQ(result.ok(), !result.effect.techniques.empty()) << "size " << size;
        EXPECT_EQ(result.ok(), result.error.empty()) << "size " << size << ": " << result.error;
    }
}

TEST(VertexAttributes, TextureCoordinateSetsAndSizesFollowTheFormat) {
    struct Case {
        DWORD fvf;
        std::vector<unsigned> sizes;
    };
    const Case cases[] = {
        {D3DFVF_XYZ, {}},
        {D3DFVF_XYZ | D3DFVF_TEX1, {2}},
        {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX4 | D3DFVF_TEXCOORDSIZE3(2) |
             D3DFVF_TEXCOORDSIZE3(3),
         {2, 2, 3, 3}},
        {D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE4(0) | D3DFVF_TEXCOORDSIZE1(1) | D3DFVF_TEXCOORDSIZE2(2),
         {4, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fvf);
        std::vector<unsigned> sizes;
        for (unsigned set = 0; set < port::texCoordSetCount(c.fvf); ++set) {
            sizes.push_back(port::texCoordSize(c.fvf, set));
        }
        EXPECT_EQ(sizes, c.sizes);
    }
    EXPECT_EQ(0x500412u, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX4 | D3DFVF_TEXCOORDSIZE3(2) |
                             D3DFVF_TEXCOORDSIZE3(3));
    EXPECT_STREQ(port::kVertexAttributeNames[port::kTexCoord0Slot + 3], "inTexCoord3");
}

} // namespace
