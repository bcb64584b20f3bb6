// Hue, saturation and value of a picture: the hue turned by `hue` degrees, saturation and
// value multiplied by `saturation` and `value`. Hue 0, saturation 1 and value 1 keep the
// picture. The result is opaque: the picture's colour already holds whatever was blended into
// it, and the next stage or the composite takes it at full strength.

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

fragment adjust {
    uniform sampler2D tex;
    uniform float hue = 0.0;
    uniform float saturation = 1.0;
    uniform float value = 1.0;

    in vec2 uv;
    out vec4 fragColor;

    // Hue in turns (0..1), saturation and value in 0..1.
    vec3 toHsv(vec3 c) {
        float maxC = max(c.r, max(c.g, c.b));
        float minC = min(c.r, min(c.g, c.b));
        float chroma = maxC - minC;
        float h = 0.0;
        if (chroma > 0.0) {
            if (maxC == c.r) {
                h = mod((c.g - c.b) / chroma, 6.0);
            } else if (maxC == c.g) {
                h = (c.b - c.r) / chroma + 2.0;
            } else {
                h = (c.r - c.g) / chroma + 4.0;
            }
        }
        float s = maxC > 0.0 ? chroma / maxC : 0.0;
        return vec3(h / 6.0, s, maxC);
    }

    vec3 toRgb(vec3 hsv) {
        vec3 k = mod(vec3(5.0, 3.0, 1.0) + hsv.x * 6.0, 6.0);
        return hsv.z - hsv.z * hsv.y * clamp(min(k, 4.0 - k), 0.0, 1.0);
    }

    void main() {
        vec4 color = texture(tex, uv);
        vec3 hsv = toHsv(color.rgb);
        hsv.x = fract(hsv.x + hue / 360.0);
        hsv.y = clamp(hsv.y * saturation, 0.0, 1.0);
        hsv.z = max(hsv.z * value, 0.0);
        fragColor = vec4(toRgb(hsv), 1.0);
    }
}

technique HSVEffect {
    pass 0 {
        vertex = screen;
        fragment = adjust;
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
            MinFilter = Point;
            MagFilter = Point;
            AddressU = Clamp;
            AddressV = Clamp;
        }
    }
}
