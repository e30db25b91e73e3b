#version 150
// Rotating rings, drawn into a render target and bent by the lens effect.
out vec4 frag_color;
uniform vec2 resolution;
uniform float beat;
uniform float twist;

#define INCLUDED
#include "shaders/common.glsl"

void main() {
    vec2 p = centered(gl_FragCoord.xy, resolution);
    float a = atan(p.y, p.x) + beat * 0.5;
    float r = length(p);
    float rings = 0.5 + 0.5 * sin(r * 40.0 - beat * 4.0 + sin(a * 6.0) * twist);
    frag_color = vec4(palette(r + beat * 0.05) * rings, 1.0);
}
