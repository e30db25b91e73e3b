#version 150
// Shows the trails effect's render target (unit 0), tinted and faded in on a track.
out vec4 frag_color;
uniform vec2 resolution;
uniform float opacity;
uniform sampler2D tex;

void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    vec3 trails = texture(tex, uv).rgb;
    // Dark parts of the trails let the background through.
    float glow = clamp(max(trails.r, max(trails.g, trails.b)) * 1.5, 0.0, 1.0);
    frag_color = vec4(trails * vec3(1.0, 0.9, 1.1), opacity * glow);
}
