#version 330 core
// The serpent's scene: skinned body and eyes (tags 0 and 2), static ground and stones (tag 1).

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 texcoord;
layout(location = 3) in uvec4 joints;
layout(location = 4) in vec4 weights;

uniform mat4 uModelViewProjMatrix;
uniform mat4 uModelMatrix;
uniform mat4 uNormalMatrix;
uniform mat4 uLightMVPMatrix;
uniform int uTag;

layout(std140) uniform MatricesBlock {
    mat4 joint_matrix[100];
};

out vec3 world_position;
out vec3 world_normal;
out vec2 uv;
out vec4 light_position;

void main() {
    vec4 p = vec4(position, 1.0);
    vec4 n = vec4(normal, 0.0);
    if (uTag != 1) {
        mat4 skin = weights.x * joint_matrix[joints.x] + weights.y * joint_matrix[joints.y] +
                    weights.z * joint_matrix[joints.z] + weights.w * joint_matrix[joints.w];
        p = skin * p;
        n = skin * n;
    }
    world_position = (uModelMatrix * p).xyz;
    world_normal = normalize((uNormalMatrix * n).xyz);
    uv = texcoord;
    light_position = uLightMVPMatrix * p;
    gl_Position = uModelViewProjMatrix * p;
}
