// The glow of a picture's bright parts, as a layer to be added over it. Pass 0 raises the
// picture to `power`, so that bright colours dominate, and blurs it across; pass 1 blurs that
// down and scales it by `alpha`. `radius` 1.0 reaches a tenth of the picture's width to each
// side (and as many pixels down).

prelude {
    uniform mat4 worldViewProjection;
    uniform sampler2D tex;
    uniform float radius = 0.1;

    const int TAPS = 12;

    // A Gaussian blur along `direction` (one texel per unit), reaching `reach` texels to
    // each side.
    vec3 blur(vec2 uv, vec2 direction, float reach) {
        vec3 sum = vec3(0.0);
        float total = 0.0;
        for (int i = -TAPS; i <= TAPS; ++i) {
            float x = float(i) / float(TAPS);
            float w = exp(-4.0 * x * x);
            sum += texture(tex, uv + direction * (x * reach)).rgb * w;
            total += w;
        }
        return sum / total;
    }

    float reachInTexels() {
        return abs(radius) * 0.1 * float(textureSize(tex, 0).x);
    }
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

fragment brightAcross {
    uniform float power = 2.0;

    in vec2 uv;
    out vec4 fragColor;

    void main() {
        vec2 texel = 1.0 / vec2(max(textureSize(tex, 0), ivec2(1)));
        float reach = reachInTexels();
        vec3 sum = vec3(0.0);
        float total = 0.0;
        for (int i = -TAPS; i <= TAPS; ++i) {
            float x = float(i) / float(TAPS);
            float w = exp(-4.0 * x * x);
            vec3 c = texture(tex, uv + vec2(texel.x * x * reach, 0.0)).rgb;
            sum += pow(max(c, vec3(0.0)), vec3(max(power, 0.0))) * w;
            total += w;
        }
        fragColor = vec4(sum / total, 1.0);
    }
}

fragment down {
    uniform float alpha = 1.0;

    in vec2 uv;
    out vec4 fragColor;

    void main() {
        vec2 texel = 1.0 / vec2(max(textureSize(tex, 0), ivec2(1)));
        fragColor = vec4(blur(uv, vec2(0.0, texel.y), reachInTexels()) * alpha, 1.0);
    }
}

technique BloomEffect {
    pass 0 {
        vertex = screen;
        fragment = brightAcross;
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
    }
    pass 1 {
        vertex = screen;
        fragment = down;
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
    }
}
