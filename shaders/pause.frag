#version 430

out vec4 FragColor;

void main() {
    // Black at 65 % opacity: the scene behind keeps 35 % of its brightness.
    FragColor = vec4(0.0, 0.0, 0.0, 0.65);
}
