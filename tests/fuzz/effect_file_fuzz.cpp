// libFuzzer target for the effect file parser: any bytes must parse or fail with a message,
// never crash or read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "d3dx9/effect_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto result = port::d3dx9::parseEffectFile(data, size);
    if (result.ok() != !result.effect.techniques.empty()) {
        std::abort(); // a parse either succeeds with techniques or fails with a message
    }
    for (const auto& technique : result.effect.techniques) {
        for (const auto& pass : technique.passes) {
            if (pass.vertexStage >= result.effect.stages.size() ||
                pass.fragmentStage >= result.effect.stages.size()) {
                std::abort();
            }
        }
    }
    return 0;
}
