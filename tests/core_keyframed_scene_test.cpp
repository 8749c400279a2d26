// The keyframed scene set-up: engine error messages and the quit they post, and the camera and
// sphere it picks out of "Gomb.3DS".
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "archive/archive.h"
#include "core/keyframed_scene.h"
#include "core/window.h"
#include "platform/headless_gl.h"

namespace {

TEST(EngineErrorMessage, NamesTheCodeInDecimalThenTheEngineTextAfterACarriageReturn) {
    EXPECT_EQ(core::engineErrorMessage(2), "Brontavel3D Error (#2):\rFile not found.");
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
    ASSERT_NE(core::sceneCamera, nullptr);
    ASSERT_NE(core::sphereObject, nullptr);
    EXPECT_EQ(core::sceneCamera->name, "Camera01");
    EXPECT_EQ(core::sphereObject->name, "GeoSphere0");
    EXPECT_FALSE(core::pumpMessages());
    archive::unmountAllArchives();

    char folder[] = "/tmp/tavremon-gomb-XXXXXX";  // where no Gomb.3DS lies
    ASSERT_NE(mkdtemp(folder), nullptr);
    ASSERT_EQ(chdir(folder), 0);
    // No file at all: the engine's message, and the quit the main loop will see.
    testing::internal::CaptureStderr();
    core::setupKeyframedScene();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error... Brontavel3D Error (#2):\rFile not found.\n");
    EXPECT_EQ(core::engineScene, nullptr);
    EXPECT_EQ(core::sphereObject, nullptr);
    EXPECT_TRUE(core::pumpMessages());
    ASSERT_EQ(chdir(TAV_BUILD_DIR), 0);
    rmdir(folder);
}

} // namespace
