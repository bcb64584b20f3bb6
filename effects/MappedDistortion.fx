// A picture seen through a bumpy glass: each pixel reads the picture displaced by the slope of
// the distortion map's brightness, measured `timedelta` texture units to either side (at least
// one texel), times `factor`. A map of even brightness, or no map, keeps the picture. The
// result is opaque, as the picture's colour already holds what was blended into it.

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

fragment distort {
    uniform sampler2D tex;
    uniform sampler2D distortionMap;
    uniform float factor = 0.0;
    uniform float timedelta = 0.03;

    in vec2 uv;
    out vec4 fragColor;

    float brightness(vec2 at) {
        return dot(texture(distortionMap, at).rgb, vec3(0.299, 0.587, 0.114));
    }

    void main() {
        vec2 texel = 1.0 / vec2(max(textureSize(distortionMap, 0), ivec2(1)));
        vec2 step = max(vec2(abs(timedelta)), texel);
        vec2 slope = vec2(brightness(uv + vec2(step.x, 0.0)) - brightness(uv - vec2(step.x, 0.0)),
                          brightness(uv + vec2(0.0, step.y)) - brightness(uv - vec2(0.0, step.y)));
        fragColor = vec4(texture(tex, uv + slope * factor).rgb, 1.0);
    }
}

technique MappedDistortion {
    pass 0 {
        vertex = screen;
        fragment = distort;
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
        sampler distortionMap {
            MinFilter = Linear;
            MagFilter = Linear;
            AddressU = Clamp;
            AddressV = Clamp;
        }
    }
}
