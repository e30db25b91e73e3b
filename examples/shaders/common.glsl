// Shared helpers. Other shaders pull them in after defining INCLUDED:
//     #define INCLUDED
//     #include "shaders/common.glsl"
// On its own the file is a complete (plain) shader, so it compiles cleanly as a program.
vec3 palette(float t) {
    return 0.5 + 0.5 * cos(6.28318 * (vec3(0.0, 0.33, 0.67) + t));
}

vec2 centered(vec2 frag, vec2 res) {
    return (frag - 0.5 * res) / res.y;
}

#ifndef INCLUDED
void main() {
    gl_FragColor = vec4(palette(0.0), 1.0);
}
#endif
