// The scene tests' effect: the parameters every object of a scene shares, a few of each kind
// for the setters, a two-pass technique "Shared" and "Fill", which fills the whole target
// with one colour.

prelude {
    uniform vec4 color = vec4(1.0, 0.0, 1.0, 1.0);
}

vertex scene {
    uniform float deltaTime = -1.0;
    uniform float time = -1.0;
    uniform float z_far = -1.0;
    uniform float z_near = -1.0;
    uniform mat4 viewProjection;
    uniform mat4 projection;
    uniform mat4 projectionInv;
    uniform vec3 direction;
    uniform vec4 position;

    in vec3 inPosition;
    out float shade;

    void main() {
        vec4 p = vec4(inPosition, 1.0) * viewProjection * projection * projectionInv;
        gl_Position = p + position;
        shade = time * deltaTime + z_far - z_near + dot(direction, inPosition);
    }
}

vertex screen {
    in vec3 inPosition;

    void main() {
        gl_Position = vec4(inPosition, 1.0);
    }
}

fragment probe {
    uniform sampler2D depthTex;
    uniform int mode = 7;
    uniform bool enabled = true;

    in float shade;
    out vec4 fragColor;

    void main() {
        vec4 depth = texture(depthTex, vec2(shade, 0.5));
        fragColor = enabled ? color * depth * float(mode) : depth;
    }
}

fragment flat {
    out vec4 fragColor;

    void main() {
        fragColor = color;
    }
}

technique Shared {
    pass 0 {
        vertex = scene;
        fragment = probe;
    }
    pass 1 {
        vertex = scene;
        fragment = flat;
    }
}

technique Fill {
    pass 0 {
        vertex = screen;
        fragment = flat;
        ZEnable = false;
        CullMode = None;
    }
}
