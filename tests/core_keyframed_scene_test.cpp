// The keyframed scene set-up: engine error messages and the quit they post, and the camera and
// sphere it picks out of "Gomb.3DS" (or leaves out when the file lacks them).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/archive.h"
#include "core/keyframed_scene.h"
#include "core/window.h"
#include "engine_3ds_writer.h"
#include "platform/headless_gl.h"

namespace {

TEST(EngineErrorMessage, NamesTheCodeInDecimalThenTheEngineTextAfterACarriageReturn) {
    EXPECT_EQ(core::engineErrorMessage(2), "Brontavel3D Error (#2):\rFile not found.");
    EXPECT_EQ(core::engineErrorMessage(255), "Brontavel3D Error (#255):\rInternal error.");
    EXPECT_EQ(core::engineErrorMessage(-1), "Brontavel3D Error (#-1):\r(undefined) internal error.");
}

// One test, as the quit message once posted stays posted for the rest of the process.
TEST(KeyframedSceneSetup, FindsCameraAndSphereAndReportsOnlyRealFailuresWithAQuit) {
    unsetenv("DISPLAY");  // the message box goes to stderr only, never to a desktop
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(platform::createHeadlessGL(64, 48));

    testing::internal::CaptureStderr();
    core::reportEngineError(0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(core::pumpMessages());

    archive::mountArchive(TAV_BUILD_DIR "/tavremon.yip", false);
    core::setupKeyframedScene();
    ASSERT_NE(core::engineScene, nullptr);
    ASSERT_NE(core::sceneCamera, nullptr);
    ASSERT_NE(core::sphereObject, nullptr);
    EXPECT_EQ(core::sceneCamera->name, "Camera01");
    EXPECT_EQ(core::sphereObject->name, "GeoSphere0");
    ASSERT_GT(core::sphereObject->vertexCount, 0);
    const engine::Vec3 n = core::sphereObject->vertices[0].normal;  // computed by the set-up
    EXPECT_NEAR(std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1.0, 1e-4);
    EXPECT_NE(core::rondanyTexture, 0u);
    archive::unmountAllArchives();

    // A scene without "Camera01" and "GeoSphere0" loads fine and leaves both references empty.
    char folder[] = "/tmp/tavremon-gomb-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    ASSERT_EQ(chdir(folder), 0);
    using namespace test3ds;
    writeFile("Gomb.3DS", sceneFile({meshObject("Ball", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 0}}),
                                     camera("Cam", {0, 0, 10}, {0, 0, 0}, 0, 50)}));
    testing::internal::CaptureStderr();
    core::setupKeyframedScene();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(core::engineScene, nullptr);
    EXPECT_EQ(core::sceneCamera, nullptr);
    EXPECT_EQ(core::sphereObject, nullptr);
    EXPECT_FALSE(core::pumpMessages());

    // No file at all: the engine's message, and the quit the main loop will see.
    std::remove("Gomb.3DS");
    testing::internal::CaptureStderr();
    core::setupKeyframedScene();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error... Brontavel3D Error (#2):\rFile not found.\n");
    EXPECT_EQ(core::engineScene, nullptr);
    EXPECT_EQ(core::sceneCamera, nullptr);
    EXPECT_TRUE(core::pumpMessages());
    ASSERT_EQ(chdir(TAV_BUILD_DIR), 0);
    rmdir(folder);
    platform::destroyHeadlessGL();
}

} // namespace
