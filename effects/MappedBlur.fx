// Motion blur: each pixel averages the picture along its velocity from the blur map (red along
// u, green along v, around 0x80, which is no motion, as a scene clears and writes it) times
// `radius`, in texture units, half of it to each side. The taps are spaced about a pixel apart,
// at most `maxSamples` of them, so a pixel that barely moves reads few and a still one reads
// only itself. Samples whose depth lies in front of the pixel's own (depth growing with
// distance, as a scene writes it) are left out, so a moving background does not smear over a
// still object before it. The result is opaque, as the picture's colour already holds what was
// blended into it.

prelude {
    uniform mat4 worldViewProjection;
}

vertex screen {
    in vec3 inPosition;
    in vec2 inTexCoord0;
    out vec2 uv;

    void main() {
        gl_Position = vec4(inPosition, 1.0) * worldViewProjection;
        uv = inTexCoord0;
    }
}

fragment smear {
    uniform sampler2D tex;
    uniform sampler2D blurMap;
    uniform sampler2D depthTex;
    uniform float radius = 0.0;
    // A uniform rather than a constant, so that the loop below runs as many taps as the pixel
    // needs instead of being unrolled to the most.
    uniform int maxSamples = 16;

    in vec2 uv;
    out vec4 fragColor;

    const float STILL = 128.0 / 255.0;

    void main() {
        vec2 velocity = (texture(blurMap, uv).rg - vec2(STILL)) * 2.0 * radius;
        vec3 here = texture(tex, uv).rgb;
        float pixels = length(velocity * vec2(textureSize(tex, 0)));
        // Taps that all lie within half a pixel of this one would average the pixel with
        // itself: it stays as it is.
        if (pixels < 0.5) {
            fragColor = vec4(here, 1.0);
            return;
        }
        int taps = clamp(int(ceil(pixels)) + 1, 2, max(maxSamples, 2));
        float depth = texture(depthTex, uv).r;
        float bias = 0.01 * abs(depth) + 1e-4;
        vec3 sum = here;
        float total = 1.0;
        for (int i = 0; i < taps; ++i) {
            float x = float(i) / float(taps - 1) - 0.5;
            vec2 at = uv + velocity * x;
            if (texture(depthTex, at).r < depth - bias) {
                continue;
            }
            sum += texture(tex, at).rgb;
            total += 1.0;
        }
        fragColor = vec4(sum / total, 1.0);
    }
}

technique MappedBlur {
    pass 0 {
        vertex = screen;
        fragment = smear;
        ZEnable = false;
        ZWriteEnable = false;
        // The quad is drawn with colour blended as SrcAlpha + One over the cleared target; the
        // stage writes alpha 1, so the colour lands as it is, and so does the alpha.
        SeparateAlphaBlendEnable = true;
        SrcBlendAlpha = One;
        DestBlendAlpha = Zero;
        BlendOpAlpha = Add;
        CullMode = None;
        sampler tex {
            MinFilter = Linear;
            MagFilter = Linear;
            AddressU = Clamp;
            AddressV = Clamp;
        }
        sampler blurMap {
            MinFilter = Point;
            MagFilter = Point;
            AddressU = Clamp;
            AddressV = Clamp;
        }
        sampler depthTex {
            MinFilter = Point;
            MagFilter = Point;
            AddressU = Clamp;
            AddressV = Clamp;
        }
    }
}
