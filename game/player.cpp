#include "game/player.h"

#include <algorithm>
#include <cstdio>

#include <glm/gtc/matrix_transform.hpp>

#include "game/font.h"
#include "game/gameloop.h"
#include "game/highscore.h"
#include "game/input.h"
#include "game/plate.h"
#include "game/track.h"
#include "orvo3d/hash.h"
#include "orvo3d/shader.h"
#include "orvo3d/sound.h"
#include "orvo3d/staticmodel.h"

namespace {

constexpr const char* kModule = "game/player";
constexpr glm::vec3 kShipSize{1.0f, 0.98f, 1.5f};
constexpr float kMaxSpeed = 40.0f;
constexpr float kSteerSpeed = 5.0f;
constexpr float kJumpSpeed = 20.0f;
constexpr double kGravity = 80.0;
constexpr double kTerminalSpeed = -14.0;
constexpr glm::vec3 kScoreColor{0.2f, 0.5f, 0.26f};

}  // namespace

Player::Player() : Player(std::make_unique<StaticModel>("data/ship")) {}

Player::Player(std::unique_ptr<StaticModel> shipModel) : model(std::move(shipModel)) { reset(); }

Player::~Player() = default;

void Player::reset() {
    fallen = false;
    crashed = false;
    crashFrames = 30;
    inAir = true;
    steering = 0;
    time = 0.0f;
    x = 0.0f;
    y = 0.01f;
    speed = 0.0f;
    verticalSpeed = 0.0f;
    z = 0.0f;
    best = HighScore::load();
}

std::int64_t Player::score() const { return static_cast<std::int64_t>(z); }

bool Player::update(float dt, const Track& track) { return update(dt, track.plates); }

bool Player::update(float dt, const std::vector<std::unique_ptr<Plate>>& plates) {
    time += dt;
    // Double precision here keeps the speed curve identical on every platform.
    speed = static_cast<float>(std::min(static_cast<double>(kMaxSpeed),
                                        static_cast<double>(speed) + (speed * 0.2 + 2.0) * dt));

    if (crashed) {
        // A crashed ship stays frozen; the run ends on the 30th update.
        --crashFrames;
        if (crashFrames != 0) return true;
        return endRun();
    }

    const float dx = steer(dt);
    jump();
    moveAndCollide(dt, dx, plates);
    if (static_cast<double>(y) < -0.2 && !fallen) {
        fallen = true;
        Sound::instance().play("data/falloff.wav");
    }
    if (y < -10.0f) {
        Sound::instance().play("data/crash.wav");
        return endRun();
    }
    return true;
}

float Player::steer(float dt) {
    Input& input = Input::instance();
    steering = 0;
    float dx = 0.0f;
    if (input.isHeldOver(Action::Left, Action::Right)) {
        steering = 1;
        dx = -kSteerSpeed * dt;
    }
    if (input.isHeldOver(Action::Right, Action::Left)) {
        steering = 2;
        dx = kSteerSpeed * dt;
    }
    return dx;
}

void Player::jump() {
    // A held Jump fires whenever the ship rests (vertical speed exactly 0).
    if (Input::instance().isHeld(Action::Jump) && verticalSpeed == 0.0f) {
        Sound::instance().play("data/jump.wav");
        verticalSpeed = kJumpSpeed;
        inAir = true;
    }
}

void Player::moveAndCollide(float dt, float dx, const std::vector<std::unique_ptr<Plate>>& plates) {
    const glm::vec3 old{x, y, z};
    const glm::vec3 delta{dx, dt * verticalSpeed, dt * speed};
    x += delta.x;
    y += delta.y;
    z += delta.z;

    // Every plate sees the same old centre and step; later plates may
    // overwrite a coordinate an earlier one corrected.
    bool landed = false;
    for (const auto& plate : plates) {
        CollisionResult hit = resolveCollision(*plate, old, kShipSize, delta);
        switch (hit.kind) {
            case CollisionKind::Top:
                y = hit.y;
                inAir = false;
                verticalSpeed = 0.0f;
                landed = true;
                break;
            case CollisionKind::Front:
                if (!plate->isFloor) {
                    Sound::instance().play("data/crash.wav");
                    z = hit.z;
                    crashed = true;
                }
                break;
            case CollisionKind::LeftSide:
            case CollisionKind::RightSide: x = hit.x; break;
            case CollisionKind::None: break;
        }
    }

    if (!landed) {
        verticalSpeed = static_cast<float>(
            std::max(kTerminalSpeed, static_cast<double>(verticalSpeed) - static_cast<double>(dt) * kGravity));
    }
}

bool Player::endRun() {
    best = HighScore::load();
    if (score() > best) HighScore::save(score());
    return false;
}

void Player::render() {
    const bool shadow = isShadowPass();
    Shader* shader = shadow ? model->shadowShader.get() : model->staticShader.get();
    glBindBuffer(GL_ARRAY_BUFFER, model->vbo);
    glBindVertexArray(model->vao);
    glUseProgram(shader->program);
    if (!shadow) {
        const glm::vec3 light = lightPosition();
        const glm::vec3 camera = cameraPosition();
        const glm::mat4 view = viewMatrix();
        const glm::mat4 projection = projectionMatrix();
        glUniform3fv(shader->uniformLocation(UNIFORM("lightPosition")), 1, &light[0]);
        glUniform3fv(shader->uniformLocation(UNIFORM("camPosition")), 1, &camera[0]);
        glUniform1f(shader->uniformLocation(UNIFORM("ticks")), time);
        glUniformMatrix4fv(shader->uniformLocation(UNIFORM("view")), 1, GL_FALSE, &view[0][0]);
        glUniformMatrix4fv(shader->uniformLocation(UNIFORM("projection")), 1, GL_FALSE, &projection[0][0]);
    }
    const glm::mat4 lightSpace = lightSpaceMatrix();
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("lightSpaceMatrix")), 1, GL_FALSE, &lightSpace[0][0]);

    // The ship always sits at render z = 2.5; the road moves past it.
    glm::mat4 transform = glm::translate(glm::mat4(1.0f), glm::vec3(x, y, 2.5f));
    if (fallen || (inAir && verticalSpeed != 0.0f)) {
        transform = glm::rotate(transform, verticalSpeed / 20.0f * 0.3f, glm::vec3(1.0f, 0.0f, 0.0f));
    }
    if (steering == 1) transform = glm::rotate(transform, 0.05f, glm::vec3(0.0f, 1.0f, 0.0f));
    if (steering == 2) transform = glm::rotate(transform, -0.05f, glm::vec3(0.0f, 1.0f, 0.0f));
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("model")), 1, GL_FALSE, &transform[0][0]);

    constexpr std::uint32_t kFire = hashName("Fire");
    constexpr std::uint32_t kNearFire = hashName("NearFire");
    for (const StaticModelPart& part : model->parts) {
        if (!shadow) {
            int look = part.materialNameHash == kFire ? 1 : part.materialNameHash == kNearFire ? 2 : 0;
            glUniform1i(shader->uniformLocation(UNIFORM("colorOverride")), look);
            if (part.hasTexture) {
                glActiveTexture(GL_TEXTURE1);
                glBindTexture(GL_TEXTURE_2D, part.texture);
                glUniform1i(shader->uniformLocation(UNIFORM("inputTexture")), 1);
            }
        }
        glDrawArrays(GL_TRIANGLES, static_cast<GLint>(part.firstFace * 3), static_cast<GLsizei>(part.faceCount * 3));
    }

    if (!shadow) {
        char text[32];
        const std::int64_t current = score();
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(current));
        Font::instance().drawRightAligned(text, 1910.0f, 760.0f, 80.0f, kScoreColor);
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(std::max(best, current)));
        const float brightness = best > current ? 0.6f : 1.75f;
        Font::instance().drawRightAligned(text, 1910.0f, 700.0f, 40.0f, kScoreColor * brightness);
    }
    checkGLError(kModule, __LINE__);
}
