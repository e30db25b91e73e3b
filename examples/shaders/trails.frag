#version 150
// Orbiting dots over the previous frame's copy (feedback on unit 0), slowly fading: trails.
out vec4 frag_color;
uniform vec2 resolution;
uniform float beat;
uniform sampler2D tex;

#define INCLUDED
#include "shaders/common.glsl"

void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    vec2 p = centered(gl_FragCoord.xy, resolution);
    vec3 previous = texture(tex, uv + (uv - 0.5) * -0.004).rgb * 0.94;
    vec3 dots = vec3(0.0);
    for (int i = 0; i < 5; ++i) {
        float k = float(i);
        float a = beat * (0.6 + k * 0.13) + k * 1.2566;
        vec2 d = vec2(cos(a), sin(a * 1.3)) * (0.25 + 0.08 * k);
        dots += palette(k * 0.2 + beat * 0.02) * 0.004 / (dot(p - d, p - d) + 0.0005);
    }
    frag_color = vec4(max(previous, min(dots, vec3(1.0))), 1.0);
}
