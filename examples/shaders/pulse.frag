#version 150
// An expanding ring; its size and colour come from tracks (a group can override the colour).
out vec4 frag_color;
uniform vec2 resolution;
uniform float size;
uniform float color_shift;

#define INCLUDED
#include "shaders/common.glsl"

void main() {
    vec2 p = centered(gl_FragCoord.xy, resolution);
    float ring = smoothstep(0.04, 0.0, abs(length(p) - size));
    frag_color = vec4(palette(color_shift), ring * (1.0 - size / 1.6));
}
