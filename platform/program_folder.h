// The show finds "tavremon.yip" and "ize.dbg" beside the program, wherever it is started from.
#pragma once

namespace platform {

// Makes the folder holding the running program the working folder. False if it cannot.
bool changeToProgramFolder();

} // namespace platform
