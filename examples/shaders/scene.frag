#version 330 core
// Lit by the light the event aims with ldX, ldY and ldZ (the same tracks aim the shadow
// camera), with soft shadows from the shadow map, a procedural checker on the ground, and the
// ground fading out towards the horizon so the plasma behind shows as a sky.

in vec3 world_position;
in vec3 world_normal;
in vec2 uv;
in vec4 light_position;

uniform vec4 uBaseColorFactor;
uniform sampler2D uBaseColorTexture;
uniform sampler2D uShadowMapTexture;
uniform int uIsShadowRenderPass;
uniform int uTag;
uniform float ldX;
uniform float ldY;
uniform float ldZ;
uniform float glow;
uniform float beat;

out vec4 colour;

float lit_fraction() {
    vec3 l = light_position.xyz / light_position.w * 0.5 + 0.5;
    if (l.x < 0.0 || l.x > 1.0 || l.y < 0.0 || l.y > 1.0)
        return 1.0;
    float lit = 0.0;
    vec2 texel = vec2(1.0 / 8192.0);
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x)
            lit += texture(uShadowMapTexture, l.xy + vec2(x, y) * texel * 2.0).r < l.z - 0.0004
                       ? 0.0 : 1.0;
    return lit / 9.0;
}

void main() {
    if (uIsShadowRenderPass == 1) {
        colour = vec4(1.0);
        return;
    }
    vec4 base = uBaseColorFactor * texture(uBaseColorTexture, uv);
    float fade = 1.0;
    if (uTag == 1 && world_position.y < 0.01) {
        vec2 cell = floor(world_position.xz / 2.0);
        base.rgb *= mod(cell.x + cell.y, 2.0) == 0.0 ? 1.0 : 0.75;
        fade = 1.0 - smoothstep(14.0, 30.0, length(world_position.xz));
    }
    vec3 n = normalize(world_normal);
    vec3 to_light = normalize(vec3(ldX, ldY, ldZ) + vec3(0.0, 0.0001, 0.0));
    float diffuse = max(dot(n, to_light), 0.0) * lit_fraction();
    vec3 sky = vec3(0.35, 0.4, 0.55) * (0.5 + 0.5 * n.y);
    vec3 c = base.rgb * (sky + vec3(1.0, 0.95, 0.85) * diffuse * 1.1);
    if (uTag == 2)  // eyes: a glint, and a glow on the beat
        c += vec3(0.9, 0.2, 0.1) * glow * (1.0 - fract(beat)) + pow(diffuse, 16.0);
    colour = vec4(c, base.a * fade);
}
