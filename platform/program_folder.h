// The show finds "tavremon.yip" and "ize.dbg" beside the program, wherever it is started from.
#pragma once

namespace platform {

// Makes the folder holding the running program the working folder. False if it cannot.
bool changeToProgramFolder();

// Makes the folder that holds `file` the working folder: the program's own folder or, if the file
// is not there, `fallback`, a folder named relative to the program's folder. False if neither
// holds a readable `file`.
bool changeToFolderHolding(const char* file, const char* fallback);

} // namespace platform
