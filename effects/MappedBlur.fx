// Motion blur: each pixel averages the picture along its velocity from the blur map (red along
// u, green along v, around mid grey, 0x80, which is no motion, as a scene writes it) times
// `radius`, in texture units, half of it to each side. Samples whose depth lies in front of the pixel's own
// (depth growing with distance, as a scene writes it) are left out, so a moving background does
// not smear over a still object before it. Mid grey keeps the picture.

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

    in vec2 uv;
    out vec4 fragColor;

    const int SAMPLES = 16;
    const float STILL = 128.0 / 255.0;

    void main() {
        vec2 velocity = (texture(blurMap, uv).rg - vec2(STILL)) * 2.0 * radius;
        vec4 sum = texture(tex, uv);
        // Taps that all lie within half a pixel of this one would average the pixel with
        // itself: it stays as it is (a still pixel of the blur map, mid grey, is exactly that).
        if (length(velocity * vec2(textureSize(tex, 0))) < 0.5) {
            fragColor = sum;
            return;
        }
        float depth = texture(depthTex, uv).r;
        float bias = 0.01 * abs(depth) + 1e-4;
        float total = 1.0;
        for (int i = 0; i < SAMPLES; ++i) {
            float x = float(i) / float(SAMPLES - 1) - 0.5;
            vec2 at = uv + velocity * x;
            if (texture(depthTex, at).r < depth - bias) {
                continue;
            }
            sum += texture(tex, at);
            total += 1.0;
        }
        fragColor = sum / total;
    }
}

technique MappedBlur {
    pass 0 {
        vertex = screen;
        fragment = smear;
        ZEnable = false;
        ZWriteEnable = false;
        // The quad is drawn with colour blended as SrcAlpha + One over the cleared target, so
        // the colour lands multiplied by the alpha; the alpha itself is written as it is.
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
