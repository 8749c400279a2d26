// Data builder: writes the show's default data archive (tavremon.yip) into the folder given.
// TEMPORARY: writes an empty archive until the builder is written.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : ".";
    for (const char* name : {"/tavremon.yip", "/tavremon.xm"}) {
        FILE* f = std::fopen((dir + name).c_str(), "wb");
        if (!f) return 1;
        std::fclose(f);
    }
    return 0;
}
