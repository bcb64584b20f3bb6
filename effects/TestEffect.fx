// The port's test effect: every kind of parameter an effect takes, two techniques, pass
// states. "Textured" draws a mesh lit by its material and point lights; "Flat" fills with
// one colour.

prelude {
    struct Material {
        vec4 ambient;
        vec4 diffuse;
        float power;
    };
    struct PointLight {
        vec3 position;
        vec4 color;
    };

    uniform mat4 worldViewProjection;
    uniform vec4 color = vec4(1.0, 0.0, 1.0, 1.0);
}

vertex transform {
    in vec3 inPosition;
    in vec3 inNormal;
    in vec2 inTexCoord0;

    out vec3 normal;
    out vec2 uv;

    void main() {
        gl_Position = vec4(inPosition, 1.0) * worldViewProjection;
        normal = inNormal;
        uv = inTexCoord0;
    }
}

vertex screen {
    in vec3 inPosition;

    void main() {
        gl_Position = vec4(inPosition, 1.0);
    }
}

fragment textured {
    uniform Material material;
    uniform PointLight pointLight[2];
    uniform float weights[3];
    uniform float alpha = 0.5;
    uniform int mode = 1;
    uniform bool enabled = true;
    uniform vec2 offset;
    uniform vec3 tint = vec3(1.0, 1.0, 1.0);
    uniform sampler2D tex;

    in vec3 normal;
    in vec2 uv;

    out vec4 fragColor;

    void main() {
        vec4 lit = material.ambient;
        for (int i = 0; i < 2; ++i) {
            float d = max(dot(normalize(normal), normalize(pointLight[i].position)), 0.0);
            lit += material.diffuse * pointLight[i].color * pow(d, material.power) * weights[i];
        }
        vec4 sampled = texture(tex, uv + offset) * weights[2];
        vec4 result = enabled ? lit * sampled : sampled;
        fragColor = vec4(result.rgb * tint, alpha) * (mode == 1 ? color : vec4(1.0));
    }
}

fragment flat {
    out vec4 fragColor;

    void main() {
        fragColor = color;
    }
}

technique Textured {
    pass 0 {
        vertex = transform;
        fragment = textured;
        ZWriteEnable = false;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = One;
        CullMode = None;
        sampler tex {
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = None;
            AddressU = Clamp;
            AddressV = Clamp;
        }
    }
    pass 1 {
        vertex = transform;
        fragment = flat;
        ZFunc = LessEqual;
        DestBlend = InvSrcAlpha;
    }
}

technique Flat {
    pass 0 {
        vertex = screen;
        fragment = flat;
        ZEnable = false;
        CullMode = None;
    }
}
