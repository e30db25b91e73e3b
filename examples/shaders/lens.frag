#version 150
// The rings (an input effect, unit 1) seen through a lens shaped by the spectrogram image
// (unit 0), zooming in on a Smooth track.
out vec4 frag_color;
uniform vec2 resolution;
uniform float beat;
uniform float zoom;
uniform float opacity;
uniform sampler2D tex;
uniform sampler2D tex1;

void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    vec2 c = uv - 0.5;
    float image = texture(tex, vec2(uv.x, 1.0 - uv.y)).r;
    vec2 bent = 0.5 + c / (zoom + length(c) * 1.5) + vec2(image * 0.05);
    vec3 rings = texture(tex1, bent).rgb;
    float vignette = smoothstep(0.75, 0.2, length(c));
    frag_color = vec4(rings * vignette + image * vec3(0.1, 0.2, 0.3), opacity);
}
