#version 150
// Text from the caption font texture (unit 0), whose first row is the top of the text.
out vec4 frag_color;
uniform vec2 resolution;
uniform float beat;
uniform float fade;
uniform sampler2D tex;

void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    vec2 text_uv = vec2(uv.x, (0.62 - uv.y) * 3.0);
    float alpha = 0.0;
    if (text_uv.y >= 0.0 && text_uv.y <= 1.0) alpha = texture(tex, text_uv).a;
    float shimmer = 0.85 + 0.15 * sin(uv.x * 30.0 - beat * 6.0);
    frag_color = vec4(vec3(1.0, 0.95, 0.8) * shimmer, alpha * fade);
}
