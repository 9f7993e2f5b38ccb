#version 430 core

layout(location = 0) in vec3 inPosition;

uniform mat4 view;
uniform mat4 projection;
uniform mat4 model;

layout(location = 0) out vec3 fragPos;

void main() {
    fragPos = (model * vec4(inPosition, 1.0)).xyz;
    gl_Position = projection * view * model * vec4(inPosition, 1.0);
}
