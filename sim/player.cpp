#include "sim/player.h"

#include <algorithm>

#include <glm/glm.hpp>

namespace {

constexpr glm::vec3 kShipSize{1.0f, 0.98f, 1.5f};
constexpr float kMaxSpeed = 40.0f;
constexpr float kSteerSpeed = 5.0f;
constexpr float kJumpSpeed = 20.0f;
constexpr double kGravity = 80.0;
constexpr double kTerminalSpeed = -14.0;

}  // namespace

bool runEnded(const Events& events) {
    return std::any_of(events.begin(), events.end(), [](const Event& e) { return e.kind == EventKind::RunEnded; });
}

Player::Player(std::int64_t storedBest) { reset(storedBest); }

void Player::reset(std::int64_t storedBest) {
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
    best = storedBest;
}

std::int64_t Player::score() const { return static_cast<std::int64_t>(z); }

Events Player::update(float dt, const InputSnapshot& input, const PlateList& plates) {
    Events events;
    time += dt;
    // Double precision here keeps the speed curve identical on every platform.
    speed = static_cast<float>(std::min(static_cast<double>(kMaxSpeed),
                                        static_cast<double>(speed) + (speed * 0.2 + 2.0) * dt));

    if (crashed) {
        // A crashed ship stays frozen; the run ends on the 30th update.
        --crashFrames;
        if (crashFrames == 0) events.push_back({EventKind::RunEnded, score()});
        return events;
    }

    const float dx = steer(dt, input);
    jump(input, events);
    moveAndCollide(dt, dx, plates, events);
    if (static_cast<double>(y) < -0.2 && !fallen) {
        fallen = true;
        events.push_back({EventKind::FellOff});
    }
    if (y < -10.0f) {
        events.push_back({EventKind::Lost});
        events.push_back({EventKind::RunEnded, score()});
    }
    return events;
}

float Player::steer(float dt, const InputSnapshot& input) {
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

void Player::jump(const InputSnapshot& input, Events& events) {
    // A held Jump fires whenever the ship rests (vertical speed exactly 0).
    if (input.isHeld(Action::Jump) && verticalSpeed == 0.0f) {
        events.push_back({EventKind::Jumped});
        verticalSpeed = kJumpSpeed;
        inAir = true;
    }
}

void Player::moveAndCollide(float dt, float dx, const PlateList& plates, Events& events) {
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
                if (inAir) events.push_back({EventKind::Landed});
                y = hit.y;
                inAir = false;
                verticalSpeed = 0.0f;
                landed = true;
                break;
            case CollisionKind::Front:
                if (!plate->isFloor) {
                    events.push_back({EventKind::Crashed});
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

Events stepRun(float dt, const InputSnapshot& input, Player& player, Road& road) {
    Events events = player.update(dt, input, road);
    if (!runEnded(events)) road.update(player.z);
    return events;
}
