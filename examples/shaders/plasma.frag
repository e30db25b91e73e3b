#version 150
// Background: a plasma whose speed, hue and flashes follow tracks, breathing with the music
// level, with the live spectrum as bars along the bottom.
out vec4 frag_color;
uniform vec2 resolution;
uniform float beat;
uniform int sound;
uniform sampler2D sound_texture;
uniform float speed;
uniform float hue;
uniform float flash;

#define INCLUDED
#include "shaders/common.glsl"

void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    vec2 p = centered(gl_FragCoord.xy, resolution);
    float t = beat * speed;
    float v = sin(p.x * 6.0 + t) + sin(p.y * 7.0 - t * 1.3) +
              sin((p.x + p.y) * 5.0 + t * 0.7) + sin(length(p) * 12.0 - t * 2.0);
    float level = float(sound) / 32768.0;
    vec3 col = palette(v * 0.12 + hue) * (0.35 + level * 2.0);
    float spectrum = texture(sound_texture, vec2(uv.x * 0.5, 0.25)).r;
    col += vec3(0.2, 0.6, 1.0) * step(uv.y, spectrum * 0.35) * 0.5;
    col += vec3(flash);
    frag_color = vec4(col, 1.0);
}
