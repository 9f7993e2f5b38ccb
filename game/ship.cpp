#include "game/ship.h"

#include <algorithm>
#include <cstdio>

#include <glm/gtc/matrix_transform.hpp>

#include "game/font.h"
#include "game/screen.h"
#include "orvo3d/hash.h"
#include "orvo3d/shader.h"
#include "orvo3d/staticmodel.h"
#include "sim/player.h"

namespace {

// Its GL checks are recorded under the player's module, as they always were.
constexpr const char* kModule = "game/player";

}  // namespace

ShipView::ShipView(Font& textFont, StaticModelPreloads* preloads)
    : ShipView(textFont, std::make_unique<StaticModel>("data/ship", preloads)) {}

ShipView::ShipView(Font& textFont, std::unique_ptr<StaticModel> shipModel)
    : model(std::move(shipModel)), font(textFont) {}

ShipView::~ShipView() = default;

void ShipView::render(const Player& player, const RenderContext& context) const {
    const bool shadow = context.isShadowPass();
    Shader* shader = shadow ? model->shadowShader.get() : model->staticShader.get();
    glBindBuffer(GL_ARRAY_BUFFER, model->vbo.get());
    glBindVertexArray(model->vao.get());
    glUseProgram(shader->program.get());
    if (!shadow) {
        glUniform3fv(shader->uniformLocation(UNIFORM("lightPosition")), 1, &context.light[0]);
        glUniform3fv(shader->uniformLocation(UNIFORM("camPosition")), 1, &context.camera[0]);
        glUniform1f(shader->uniformLocation(UNIFORM("ticks")), player.time);
        glUniformMatrix4fv(shader->uniformLocation(UNIFORM("view")), 1, GL_FALSE, &context.view[0][0]);
        glUniformMatrix4fv(shader->uniformLocation(UNIFORM("projection")), 1, GL_FALSE, &context.projection[0][0]);
    }
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("lightSpaceMatrix")), 1, GL_FALSE, &context.lightSpace[0][0]);

    // The ship always sits at render z = 2.5; the road moves past it.
    glm::mat4 transform = glm::translate(glm::mat4(1.0f), glm::vec3(player.x, player.y, 2.5f));
    if (player.fallen || (player.inAir && player.verticalSpeed != 0.0f)) {
        transform = glm::rotate(transform, player.verticalSpeed / 20.0f * 0.3f, glm::vec3(1.0f, 0.0f, 0.0f));
    }
    if (player.steering == 1) transform = glm::rotate(transform, 0.05f, glm::vec3(0.0f, 1.0f, 0.0f));
    if (player.steering == 2) transform = glm::rotate(transform, -0.05f, glm::vec3(0.0f, 1.0f, 0.0f));
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
        const std::int64_t current = player.score();
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(current));
        font.drawRightAligned(text, 1910.0f, 760.0f, 80.0f, kTitleColor);
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(std::max(player.best, current)));
        const float brightness = player.best > current ? 0.6f : 1.75f;
        font.drawRightAligned(text, 1910.0f, 700.0f, 40.0f, kTitleColor * brightness);
    }
    checkGLError(kModule, __LINE__);
}
