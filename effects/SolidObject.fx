// The solid-object effect: meshes lit by their material, the scene's directional light and up
// to ten point lights, optionally textured and normal mapped. Besides the picture (target 0)
// every technique writes the object's screen-space motion (target 1: red along u, rightwards,
// green along v, downwards, as texture coordinates of the picture run; 0x80 meaning still,
// scaled by "velocityScale"), its linear depth between the near and far planes (target 2) and
// its lit colour without blending (target 3). A stage without a texture samples opaque white,
// so an untextured material shows its colours alone.
//
// Shading: the texture carries the ambient and diffuse light; specular highlights are added
// after it, so a dark texture keeps its highlights. A normal map tilts the surface normal by
// its red and green, as far as "material.bumpiness" says, and never turns it away from the
// surface. Opaque draws write alpha 1, so the picture composites at its full brightness
// whatever alpha the material's colours carry; blended draws (blend modes 1 and 2) write the
// texture's alpha times the diffuse alpha times "blendFactor".
//
// Every pass states its own sampler states (wrapping, linear with linear mip filtering), so a
// mesh looks the same whatever was drawn before it.
//
// Techniques: "SolidObject" (opaque), "AlphaObject" (unlit cut-outs: half-covered texels cut
// away, the rest blended), "AdditiveObject" (unlit glows added, no depth writes),
// "TwirlObject" (lit, opaque, twisted about "axis" by "disM" per unit along it) and "skybox"
// (texture only, unlit, behind everything).

prelude {
    struct Material {
        vec4 ambient;
        vec4 diffuse;
        vec4 specular;
        float specularPower;
        float lightBleed;
        bool lightBleedEnabled;
        float limitIllumination;
        float bumpiness;
    };
    struct PointLight {
        vec4 position;
        vec4 color;
        float power;
        float intensity;
    };
    struct DirectionalLight {
        vec3 dir;
        vec4 color;
    };

    uniform mat4 worldViewProjection;
    uniform mat4 worldViewProjInv;
    uniform mat4 world;
    uniform mat4 worldView;
    uniform mat4 worldInv;
    uniform mat4 viewProjection;
    uniform mat4 projection;
    uniform mat4 velocityTransform;
    uniform float z_near = 0.1;
    uniform float z_far = 1000.0;
    uniform float velocityScale = 1.0;
    uniform float time = 0.0;

    // The blur map's byte for no motion, as the scene clears it (0x80) and the blur reads it.
    const float STILL = 128.0 / 255.0;
    // A step longer than this, in texture units of the picture, is a camera cut, not motion.
    const float CUT = 0.25;

    // The screen-space motion since the last transform pass, as the blur map stores it: red
    // along u (rightwards), green along v (downwards), STILL meaning still. A jump further than
    // CUT in one step (a cut, or a teleported object) is stored as still.
    vec2 screenMotion(vec4 clipNow, vec4 clipBefore) {
        vec2 now = clipNow.xy / clipNow.w;
        vec2 before = clipBefore.xy / clipBefore.w;
        // Clip space has y up, texture coordinates have v down.
        vec2 moved = (now - before) * vec2(0.5, -0.5);
        if (!(length(moved) <= CUT)) {
            moved = vec2(0.0);
        }
        return clamp(STILL + moved * velocityScale, 0.0, 1.0);
    }

    // The clip position one transform pass ago. The first pass of a node path has no earlier
    // matrix: the difference it is given is the matrix less the identity, and that is no motion.
    vec4 clipBeforeOf(vec4 p) {
        mat4 before = worldViewProjection - velocityTransform;
        mat4 offIdentity = before - mat4(1.0);
        float largest = 0.0;
        for (int i = 0; i < 4; ++i) {
            vec4 a = abs(offIdentity[i]);
            largest = max(largest, max(max(a.x, a.y), max(a.z, a.w)));
        }
        return largest < 1e-4 ? p * worldViewProjection : p * before;
    }

    // The view depth between the near (0) and far (1) planes.
    float linearDepth(float viewDepth) {
        return (viewDepth - z_near) / (z_far - z_near);
    }
}

vertex solid {
    in vec3 inPosition;
    in vec3 inNormal;
    in vec2 inTexCoord0;
    in vec3 inTexCoord2;
    in vec3 inTexCoord3;

    out vec3 worldPosition;
    out vec3 worldNormal;
    out vec3 worldTangent;
    out vec3 worldBinormal;
    out vec3 eyePosition;
    out vec2 uv;
    out vec4 clipNow;
    out vec4 clipBefore;
    out float viewDepth;

    void main() {
        vec4 p = vec4(inPosition, 1.0);
        gl_Position = p * worldViewProjection;
        worldPosition = (p * world).xyz;
        // Normals go through the inverse transpose; tangents move with the surface.
        worldNormal = (worldInv * vec4(inNormal, 0.0)).xyz;
        worldTangent = (vec4(inTexCoord2, 0.0) * world).xyz;
        worldBinormal = (vec4(inTexCoord3, 0.0) * world).xyz;
        // The eye: the view-space origin, projected and brought back into object space.
        vec4 eye = (vec4(0.0, 0.0, 0.0, 1.0) * projection) * worldViewProjInv;
        eyePosition = ((eye / eye.w) * world).xyz;
        uv = inTexCoord0;
        clipNow = gl_Position;
        clipBefore = clipBeforeOf(p);
        viewDepth = (p * worldView).z;
    }
}

vertex twirl {
    uniform float disM = 0.0;
    uniform vec3 axis = vec3(0.0, 1.0, 0.0);

    in vec3 inPosition;
    in vec3 inNormal;
    in vec2 inTexCoord0;

    out vec3 worldPosition;
    out vec3 worldNormal;
    out vec3 worldTangent;
    out vec3 worldBinormal;
    out vec3 eyePosition;
    out vec2 uv;
    out vec4 clipNow;
    out vec4 clipBefore;
    out float viewDepth;

    // Rotation by angle a about the unit axis k (Rodrigues).
    vec3 turn(vec3 v, vec3 k, float a) {
        return v * cos(a) + cross(k, v) * sin(a) + k * dot(k, v) * (1.0 - cos(a));
    }

    void main() {
        float len = length(axis);
        vec3 k = len > 0.0 ? axis / len : vec3(0.0, 1.0, 0.0);
        // The twist grows along the axis and sways slowly with time.
        float angle = disM * dot(inPosition, k) + 0.1 * disM * sin(time);
        vec4 p = vec4(turn(inPosition, k, angle), 1.0);
        vec3 n = turn(inNormal, k, angle);
        gl_Position = p * worldViewProjection;
        worldPosition = (p * world).xyz;
        worldNormal = (worldInv * vec4(n, 0.0)).xyz;
        worldTangent = vec3(0.0);
        worldBinormal = vec3(0.0);
        vec4 eye = (vec4(0.0, 0.0, 0.0, 1.0) * projection) * worldViewProjInv;
        eyePosition = ((eye / eye.w) * world).xyz;
        uv = inTexCoord0;
        clipNow = gl_Position;
        clipBefore = clipBeforeOf(p);
        viewDepth = (p * worldView).z;
    }
}

vertex sky {
    in vec3 inPosition;
    in vec2 inTexCoord0;

    out vec2 uv;

    void main() {
        vec4 p = (vec4(inPosition, 1.0) * world) * viewProjection;
        // On the far plane, so that everything drawn later stays in front of it.
        gl_Position = p.xyww;
        uv = inTexCoord0;
    }
}

fragment lit {
    uniform Material material;
    uniform vec4 environmentAmbient = vec4(0.0);
    uniform sampler2D tex;
    uniform sampler2D normalmap;
    uniform bool enableNormalmap = false;
    uniform int blendMode = 0;
    uniform float blendFactor = 1.0;
    uniform DirectionalLight directionallight;
    uniform bool enableDirectionallight = false;
    uniform int pointLightAmount = 0;
    uniform PointLight pointLight[10];

    in vec3 worldPosition;
    in vec3 worldNormal;
    in vec3 worldTangent;
    in vec3 worldBinormal;
    in vec3 eyePosition;
    in vec2 uv;
    in vec4 clipNow;
    in vec4 clipBefore;
    in float viewDepth;

    layout(location = 0) out vec4 fragColor;
    layout(location = 1) out vec4 motion;
    layout(location = 2) out vec4 depth;
    layout(location = 3) out vec4 color;

    // Lambert's term, wrapped around the terminator by the light bleed when it is on.
    float diffuseTerm(vec3 n, vec3 l) {
        float d = dot(n, l);
        if (material.lightBleedEnabled) {
            d = (d + material.lightBleed) / (1.0 + material.lightBleed);
        }
        return max(d, 0.0);
    }

    float specularTerm(vec3 n, vec3 l, vec3 v) {
        if (dot(n, l) <= 0.0) {
            return 0.0;
        }
        vec3 h = normalize(l + v);
        return pow(max(dot(n, h), 0.0), max(material.specularPower, 1.0));
    }

    // The normal tilted by the normal map: red along the tangent, green along the binormal,
    // 0.5 meaning no tilt. The tilt is added to the surface's own normal rather than
    // replacing it, so a colour texture used as its own normal map roughens the surface
    // without turning it inside out; "material.bumpiness" scales it, up to MAX_TILT.
    const float MAX_TILT = 0.6;

    vec3 surfaceNormal() {
        vec3 n = normalize(worldNormal);
        vec3 t = worldTangent;
        vec3 b = worldBinormal;
        if (!enableNormalmap || dot(t, t) <= 0.0 || dot(b, b) <= 0.0) {
            return n;
        }
        vec2 tilt = texture(normalmap, uv).xy * 2.0 - 1.0;
        tilt *= clamp(material.bumpiness, 0.0, 1.0) * MAX_TILT;
        return normalize(n + tilt.x * normalize(t) + tilt.y * normalize(b));
    }

    // Point lights fall off with the distance d as 1/d * (1/d + 1/REACH)^(power - 1): a light of
    // power 1 as 1/d; a light of power 2 as 1/d^2 close by, easing to 1/(d * REACH) beyond
    // REACH units, so that it still lights what stands across the scene.
    const float REACH = 16.0;

    float falloff(float distance, float power) {
        return pow(1.0 / distance + 1.0 / REACH, power - 1.0) / distance;
    }

    void main() {
        vec3 n = surfaceNormal();
        vec3 v = normalize(eyePosition - worldPosition);
        vec4 surface = texture(tex, uv);

        vec3 diffuse = vec3(0.0);
        vec3 specular = vec3(0.0);
        if (enableDirectionallight) {
            // The direction the light travels.
            vec3 l = normalize(-directionallight.dir);
            diffuse += directionallight.color.rgb * diffuseTerm(n, l);
            specular += directionallight.color.rgb * specularTerm(n, l, v);
        }
        for (int i = 0; i < pointLightAmount && i < 10; ++i) {
            vec3 toLight = pointLight[i].position.xyz - worldPosition;
            float distance = max(length(toLight), 0.0001);
            vec3 l = toLight / distance;
            // The light's colour already carries its intensity.
            vec3 c = pointLight[i].color.rgb * falloff(distance, pointLight[i].power);
            diffuse += c * diffuseTerm(n, l);
            specular += c * specularTerm(n, l, v);
        }
        vec3 lit = diffuse * material.diffuse.rgb;
        vec3 shine = specular * material.specular.rgb;
        if (material.limitIllumination > 0.0) {
            lit = min(lit, vec3(material.limitIllumination));
            shine = min(shine, vec3(material.limitIllumination));
        }
        vec3 rgb = surface.rgb * ((material.ambient + environmentAmbient).rgb + lit) + shine;
        float alpha = 1.0;
        if (blendMode == 1 || blendMode == 2) {
            alpha = clamp(surface.a * material.diffuse.a * blendFactor, 0.0, 1.0);
        }
        fragColor = vec4(rgb, alpha);

        motion = vec4(screenMotion(clipNow, clipBefore), 0.0, 1.0);
        depth = vec4(linearDepth(viewDepth), 0.0, 0.0, 1.0);
        color = vec4(rgb, 1.0);
    }
}

fragment skyColor {
    uniform Material material;
    uniform sampler2D tex;

    in vec2 uv;

    layout(location = 0) out vec4 fragColor;
    layout(location = 1) out vec4 motion;
    layout(location = 2) out vec4 depth;
    layout(location = 3) out vec4 color;

    void main() {
        vec4 surface = texture(tex, uv);
        vec3 rgb = surface.rgb * material.ambient.rgb * 4.0;
        fragColor = vec4(rgb, 1.0);
        motion = vec4(STILL, STILL, 0.0, 1.0);
        depth = vec4(1.0, 0.0, 0.0, 1.0);
        color = vec4(rgb, 1.0);
    }
}

// Cut-outs (trees, fences, signs): the texture by the ambient colour, unlit, as opaque as the
// texel's alpha times the diffuse alpha. Texels less than half covered are cut away and leave
// every target and the depth buffer alone; the rest blend over what lies behind by their
// coverage, in the further targets as well as in the picture.
fragment cutout {
    uniform Material material;
    uniform sampler2D tex;

    in vec2 uv;
    in vec4 clipNow;
    in vec4 clipBefore;
    in float viewDepth;

    layout(location = 0) out vec4 fragColor;
    layout(location = 1) out vec4 motion;
    layout(location = 2) out vec4 depth;
    layout(location = 3) out vec4 color;

    void main() {
        vec4 surface = texture(tex, uv);
        float alpha = clamp(surface.a * material.diffuse.a, 0.0, 1.0);
        if (alpha < 0.5) {
            discard;
        }
        vec3 rgb = surface.rgb * material.ambient.rgb;
        fragColor = vec4(rgb, alpha);
        motion = vec4(screenMotion(clipNow, clipBefore), 0.0, alpha);
        depth = vec4(linearDepth(viewDepth), 0.0, 0.0, alpha);
        color = vec4(rgb, alpha);
    }
}

// Glows (lamps, lit windows): the texture, weighted by its own alpha, by the ambient colour,
// unlit. It is added to the picture and to the colour target; the motion and depth outputs
// carry no alpha, so the additive blend leaves those targets as they were.
fragment glow {
    uniform Material material;
    uniform sampler2D tex;

    in vec2 uv;

    layout(location = 0) out vec4 fragColor;
    layout(location = 1) out vec4 motion;
    layout(location = 2) out vec4 depth;
    layout(location = 3) out vec4 color;

    void main() {
        vec4 surface = texture(tex, uv);
        vec3 rgb = surface.rgb * surface.a * material.ambient.rgb;
        fragColor = vec4(rgb, 1.0);
        motion = vec4(0.0);
        depth = vec4(0.0);
        color = vec4(rgb, 1.0);
    }
}

technique SolidObject {
    pass 0 {
        vertex = solid;
        fragment = lit;
        sampler tex {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
        sampler normalmap {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
    }
}

technique AlphaObject {
    pass 0 {
        vertex = solid;
        fragment = cutout;
        AlphaBlendEnable = true;
        SrcBlend = SrcAlpha;
        DestBlend = InvSrcAlpha;
        // The picture's alpha covers like paint: what lies behind shows through the rest.
        SeparateAlphaBlendEnable = true;
        SrcBlendAlpha = One;
        DestBlendAlpha = InvSrcAlpha;
        sampler tex {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
        sampler normalmap {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
    }
}

// Adds the lit colour whatever its alpha: the demo draws its lights with a diffuse alpha of 0.
technique AdditiveObject {
    pass 0 {
        vertex = solid;
        fragment = glow;
        AlphaBlendEnable = true;
        SrcBlend = One;
        DestBlend = One;
        ZWriteEnable = false;
        sampler tex {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
        sampler normalmap {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
    }
}

technique TwirlObject {
    pass 0 {
        vertex = twirl;
        fragment = lit;
        // Colour only: the logo stays as opaque as the sky behind it, whatever its diffuse
        // alpha.
        ColorWriteEnable = 0x7;
        sampler tex {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
        sampler normalmap {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
    }
}

// The shader binding sets the cull mode of every mesh after the pass begins, so the pass's
// CullMode does not hold: a sky model is wound to be seen from inside.
technique skybox {
    pass 0 {
        vertex = sky;
        fragment = skyColor;
        ZWriteEnable = false;
        ZFunc = LessEqual;
        CullMode = None;
        sampler tex {
            AddressU = Wrap;
            AddressV = Wrap;
            MinFilter = Linear;
            MagFilter = Linear;
            MipFilter = Linear;
        }
    }
}
