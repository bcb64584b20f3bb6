// Camera-facing textured sprites. Each vertex carries its particle's world-space centre, the
// corner's texture coordinates (u, v in 0..1) and the particle's alpha and size. The centre
// goes into view space, the corner is pushed out there by half the size along the view's x
// and y axes (v = 0 at the top), and "worldViewProjection" (the camera's projection) projects
// the result. The sprite's colour is the texture's; its alpha is the texture's times the
// particle's (clamped to 0..1) times the effect-wide "alpha". Sprites add up (no sorting
// needed) and are hidden behind nearer depth without writing depth themselves.

vertex expand {
    uniform mat4 view;
    uniform mat4 worldViewProjection;

    in vec3 inPosition;
    in vec2 inTexCoord0;
    in vec2 inTexCoord1;

    out vec2 texCoord;
    out float particleAlpha;

    void main() {
        vec4 centre = vec4(inPosition, 1.0) * view;
        float size = inTexCoord1.y;
        vec2 offset = vec2(inTexCoord0.x - 0.5, 0.5 - inTexCoord0.y) * size;
        gl_Position = vec4(centre.xy + offset, centre.zw) * worldViewProjection;
        texCoord = inTexCoord0;
        particleAlpha = clamp(inTexCoord1.x, 0.0, 1.0);
    }
}

fragment shade {
    uniform sampler2D tex;
    uniform float alpha = 1.0;

    in vec2 texCoord;
    in float particleAlpha;
    out vec4 fragColor;

    void main() {
        vec4 colour = texture(tex, texCoord);
        fragColor = vec4(colour.rgb, colour.a * particleAlpha * clamp(alpha, 0.0, 1.0));
    }
}

technique Quad {
    pass 0 {
        vertex = expand;
        fragment = shade;
        ZEnable = true;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = None;
        AlphaBlendEnable = true;
        BlendOp = Add;
        SrcBlend = SrcAlpha;
        DestBlend = One;
        SeparateAlphaBlendEnable = true;
        SrcBlendAlpha = One;
        DestBlendAlpha = One;
        sampler tex {
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = None;
            AddressU = Clamp;
            AddressV = Clamp;
        }
    }
}
