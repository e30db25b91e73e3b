#version 150
// Ripples over a copy of the screen as it stands (the last unit, here unit 0).
out vec4 frag_color;
uniform vec2 resolution;
uniform float beat;
uniform int sound;
uniform float strength;
uniform sampler2D tex;

void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    vec2 c = uv - 0.5;
    float r = length(c);
    float level = float(sound) / 32768.0;
    float wave = sin(r * 60.0 - beat * 8.0) * (strength * 0.01 + level * 0.02);
    vec3 screen = texture(tex, uv + normalize(c + 1e-5) * wave).rgb;
    frag_color = vec4(screen * (1.0 + wave * 8.0), 1.0);
}
