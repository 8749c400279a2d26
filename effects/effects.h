// The scene routines the spine calls. Each takes no arguments, draws one whole frame into the back
// buffer (setting up its own projection and modelview) and reads and writes the shared show state.
#pragma once

namespace effects {

void drawOpeningScene();      // orders 0-2
void drawOpeningBuildUp();    // order 3
void drawTitleOverlays();     // orders 0-3, after the scene
void drawFlareScene();        // orders 4-6
void drawFlareSceneEnding();  // order 7
void drawBarlangScene();      // orders 8-11
void drawScene2Knot();        // orders 12-17
void drawTex32Scene();        // orders 18-21
void drawGreetingOverlays();  // orders 18-21, after the scene
void drawScene3Sphere();      // orders 22-27
void drawFlashIn();           // rows 0-9 of a scene's first order, order 28 rows 0-15
void drawFlashOut();          // rows 55-63 of a scene's last order

// Called once at start-up: seeds the shared random generator with 1 and builds the flight path.
void prepareEffects();

} // namespace effects
