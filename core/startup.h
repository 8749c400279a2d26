// The show's start-up after the window exists: mount the data, show the loading strip, load the
// music, meshes, textures and the keyframed scene, prepare the effects and the noise, set the
// default light; then start the music and the show clock.
#pragma once

namespace core {

enum class MusicMode {
    Device,   // play through the audio device; a failure ends the program with a message
    Offline,  // no device: the caller renders the music itself (capture tool, tests)
};

// Returns false only in offline mode when the music cannot be loaded.
bool loadShow(void* window, MusicMode mode, const char* archiveName = "tavremon.yip");
// Starts the music and the show clock (loading time is not counted).
void startShow();

} // namespace core
