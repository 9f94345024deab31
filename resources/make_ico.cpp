// Build tool: writes icon 5 as a Windows .ico file for the resource script.
//   make-ico OUT.ico

#include <cstdio>
#include <fstream>

#include "resources/ico_writer.h"
#include "resources/tarnwick_icon.xpm"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-ico OUT.ico\n");
        return 64;
    }
    const auto ico = tarnwick::res::IcoFromXpm(tarnwick_icon_xpm);
    if (!ico) {
        std::fprintf(stderr, "make-ico: the icon's XPM is not an 8-bit, one-character image\n");
        return 65;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(ico->data()), static_cast<std::streamsize>(ico->size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make-ico: cannot write %s\n", argv[1]);
        return 73;
    }
    return 0;
}
