// A keyframed scene that fails to load at start-up: the set-up reports it, publishes nothing, and
// leaves the engine without an active scene, whichever pass failed. Under the sanitizers this also
// proves that the failed scene is released (it used to be left behind, unreachable).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/keyframed_scene.h"
#include "engine/scene.h"
#include "platform/headless_gl.h"
#include "tests/engine_3ds_writer.h"

namespace {

using namespace test3ds;

const std::vector<Point> triangle{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

// Runs the set-up in a folder holding `contents` as a loose "Gomb.3DS" (none when empty) and
// returns the message it printed.
std::string setUpFrom(const Bytes& contents) {
    char folder[] = "/tmp/tavremon-scene-fail-XXXXXX";
    EXPECT_NE(mkdtemp(folder), nullptr);
    EXPECT_EQ(chdir(folder), 0);
    if (!contents.empty()) {
        std::ofstream("Gomb.3DS", std::ios::binary).write(reinterpret_cast<const char*>(contents.data()),
                                                          std::streamsize(contents.size()));
    }
    testing::internal::CaptureStderr();
    core::setupKeyframedScene();
    std::string message = testing::internal::GetCapturedStderr();
    std::remove("Gomb.3DS");
    EXPECT_EQ(chdir(TAV_BUILD_DIR), 0);
    rmdir(folder);
    return message;
}

engine::Scene* activeScene() {
    engine::Scene* active = nullptr;
    engine::getActiveScene(active);
    return active;
}

TEST(FailedSceneSetup, LeavesNothingPublishedAndNoSceneActiveWhicheverPassFailed) {
    unsetenv("DISPLAY");  // the message box goes to stderr only
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(platform::createHeadlessGL(32, 24));

    struct Case {
        const char* what;
        Bytes file;
        int code;
    };
    // The world pass fails after the scene was made active: a point count beyond the chunk.
    Bytes shortPoints = sceneFile({{0x4000, cstr("Box"), {{0x4100, {}, {{0x4110, cat({u16(50), floats({0, 0, 0})}), {}}}}}}});
    // The world loads, the keyframer names an object that does not exist.
    Bytes unknownNode = sceneFile({meshObject("Box", triangle, {{0, 1, 2, 0}})},
                                  {frameRange(0, 10), {0xB002, {}, {nodeId(0), nodeHeader("Nothing", -1)}}});
    for (const Case& c : {Case{"missing file", {}, engine::ERR_FILE_NOT_FOUND},
                          Case{"world pass failure", shortPoints, engine::ERR_CORRUPT_FILE},
                          Case{"keyframer pass failure", unknownNode, engine::ERR_INVALID_OBJECT_ID}}) {
        SCOPED_TRACE(c.what);
        engine::engineInit(0);  // no scene active before, as at start-up
        std::string message = setUpFrom(c.file);
        EXPECT_NE(message.find("(#" + std::to_string(c.code) + ")"), std::string::npos) << message;
        EXPECT_EQ(core::engineScene, nullptr);
        EXPECT_EQ(core::sceneCamera, nullptr);
        EXPECT_EQ(core::sphereObject, nullptr);
        EXPECT_EQ(activeScene(), nullptr);
    }
    platform::destroyHeadlessGL();
}

} // namespace
