// The keyframed scene set-up: the camera and sphere it picks out of "Gomb.3DS", and a scene that
// fails to load: the engine's message, the quit it posts, nothing published and no scene active,
// whichever pass failed. Under the sanitizers this also proves the failed scene is released.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/archive.h"
#include "core/keyframed_scene.h"
#include "core/window.h"
#include "engine/scene.h"
#include "platform/headless_gl.h"
#include "tests/engine_3ds_writer.h"

namespace {

using namespace test3ds;

// Runs the set-up in a folder holding `contents` as a loose "Gomb.3DS" (none when empty) and
// returns the message it printed.
std::string setUpFrom(const Bytes& contents) {
    char folder[] = "/tmp/tavremon-scene-fail-XXXXXX";
    EXPECT_NE(mkdtemp(folder), nullptr);
    EXPECT_EQ(chdir(folder), 0);
    if (!contents.empty()) writeFile("Gomb.3DS", contents);
    testing::internal::CaptureStderr();
    core::setupKeyframedScene();
    std::string message = testing::internal::GetCapturedStderr();
    std::remove("Gomb.3DS");
    EXPECT_EQ(chdir(TAV_BUILD_DIR), 0);
    rmdir(folder);
    return message;
}

// One test, as the quit message once posted stays posted for the rest of the process.
TEST(KeyframedSceneSetup, FindsCameraAndSphereAndReportsFailuresWithAQuitLeavingNothingActive) {
    unsetenv("DISPLAY");  // the message box goes to stderr only, never to a desktop
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(platform::createHeadlessGL(64, 48));
    EXPECT_EQ(core::engineErrorMessage(-1), "Brontavel3D Error (#-1):\r(undefined) internal error.");
    testing::internal::CaptureStderr();
    core::reportEngineError(0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(core::pumpMessages());

    archive::mountArchive(TAV_BUILD_DIR "/tavremon.yip", false);
    core::setupKeyframedScene();
    ASSERT_TRUE(core::sceneCamera && core::sphereObject);
    EXPECT_EQ(core::sceneCamera->name + " " + core::sphereObject->name, "Camera01 GeoSphere0");
    EXPECT_FALSE(core::pumpMessages());
    archive::unmountAllArchives();
    // The show sets the scene up once and keeps it; here it goes before the failure cases.
    engine::sceneFree(core::engineScene);
    delete core::engineScene;

    struct Case {
        const char* what;
        Bytes file;
        std::string message;
    };
    const std::vector<Point> triangle{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    // The world pass fails after the scene was made active: a point count beyond the chunk.
    Bytes shortPoints = sceneFile({{0x4000, cstr("Box"), {{0x4100, {}, {{0x4110, cat({u16(50), floats({0, 0, 0})}), {}}}}}}});
    // The world loads, the keyframer names an object that does not exist.
    Bytes unknownNode = sceneFile({meshObject("Box", triangle, {{0, 1, 2, 0}})},
                                  {frameRange(0, 10), {0xB002, {}, {nodeId(0), nodeHeader("Nothing", -1)}}});
    for (const Case& c : {Case{"missing file", {}, "Error... Brontavel3D Error (#2):\rFile not found.\n"},
                          Case{"world pass failure", shortPoints, "(#" + std::to_string(engine::ERR_CORRUPT_FILE) + ")"},
                          Case{"keyframer pass failure", unknownNode, "(#" + std::to_string(engine::ERR_INVALID_OBJECT_ID) + ")"}}) {
        SCOPED_TRACE(c.what);
        engine::engineInit(0);  // no scene active before, as at start-up
        std::string message = setUpFrom(c.file);
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_TRUE(!core::engineScene && !core::sceneCamera && !core::sphereObject) << "nothing published";
        EXPECT_EQ(engine::activeScene, nullptr);
        EXPECT_TRUE(core::pumpMessages());
    }
    platform::destroyHeadlessGL();
}

} // namespace
