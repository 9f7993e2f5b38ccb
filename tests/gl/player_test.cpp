// The ship drawn by the game's view of a real Player in both passes.
#include "gl/game_fixture.h"

#include <memory>
#include <string>

#include <glm/gtc/matrix_transform.hpp>

#include "game/gameloop.h"
#include "game/ship.h"
#include "orvo3d/shader.h"
#include "orvo3d/staticmodel.h"
#include "sim/player.h"

namespace {

class GLPlayer : public GameGlTest {
protected:
    void SetUp() override {
        GameGlTest::SetUp();
        if (HasFatalFailure()) return;
        player = std::make_unique<Player>();
        view = std::make_unique<ShipView>(ctx.font.get());
        ASSERT_NE(view->model, nullptr);
    }

    std::unique_ptr<Player> player;
    std::unique_ptr<ShipView> view;
};

struct PoseCase {
    const char* name;
    bool inAir;
    bool fallen;
    float verticalSpeed;
    int steering;
    float pitch;  // radians about x, nose up positive
    float yaw;    // radians about y
};

void PrintTo(const PoseCase& c, std::ostream* os) { *os << c.name; }

const PoseCase kPoseCases[] = {
    {"RestingIsLevel", false, false, 0.0f, 0, 0.0f, 0.0f},
    {"SunkBetweenLandingsIsLevel", false, false, -1.41f, 0, 0.0f, 0.0f},
    {"JumpStartNoseUp", true, false, 20.0f, 0, 0.3f, 0.0f},
    {"AtThePeakLevel", true, false, 0.0f, 0, 0.0f, 0.0f},
    {"TerminalFallNoseDown", true, false, -14.0f, 0, -0.21f, 0.0f},
    {"FallenKeepsPitching", false, true, -7.0f, 0, -0.105f, 0.0f},
    {"SteeringLeftYawsPositive", false, false, 0.0f, 1, 0.0f, 0.05f},
    {"SteeringRightInAJump", true, false, 10.0f, 2, 0.15f, -0.05f},
};

class GLPlayerPose : public GLPlayer, public testing::WithParamInterface<PoseCase> {};

glm::mat4 modelUniform(const Shader& shader) {
    glm::mat4 m(0.0f);
    glGetUniformfv(shader.program.get(), glGetUniformLocation(shader.program.get(), "model"), &m[0][0]);
    return m;
}

// The ship's model matrix in both passes: at (x, y, 2.5), pitched with the
// vertical speed only while flying or after falling off, then yawed by the
// steering.
TEST_P(GLPlayerPose, ShipIsPitchedAndYawedByItsMotion) {
    const PoseCase& c = GetParam();
    player->x = -1.25f;
    player->y = 0.75f;
    player->z = 321.0f;  // the physics z never reaches the drawing
    player->inAir = c.inAir;
    player->fallen = c.fallen;
    player->verticalSpeed = c.verticalSpeed;
    player->steering = c.steering;

    glm::mat4 expected = glm::translate(glm::mat4(1.0f), glm::vec3(-1.25f, 0.75f, 2.5f));
    expected = glm::rotate(expected, c.pitch, glm::vec3(1.0f, 0.0f, 0.0f));
    expected = glm::rotate(expected, c.yaw, glm::vec3(0.0f, 1.0f, 0.0f));

    view->render(*player, renderContext(RenderPass::Shadow));
    view->render(*player, renderContext(RenderPass::Main));
    const glm::mat4 shadow = modelUniform(*view->model->shadowShader);
    const glm::mat4 lit = modelUniform(*view->model->staticShader);
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            EXPECT_NEAR(lit[col][row], expected[col][row], 1e-5f) << col << "," << row;
            EXPECT_EQ(shadow[col][row], lit[col][row]) << col << "," << row;
        }
    }
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

INSTANTIATE_TEST_SUITE_P(Poses, GLPlayerPose, testing::ValuesIn(kPoseCases),
                         [](const testing::TestParamInfo<PoseCase>& info) { return std::string(info.param.name); });

}  // namespace
