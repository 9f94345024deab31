// plain_writefile_loop IMAGE: what bench_wine_transfer holds tarnwick-cli.exe
// against under Wine. The device library beside this program gives the
// pipe, as it gives it to the tool; then the image is loaded and its header
// packet and payload are written in 2048-byte WriteFile calls, nothing else.
// The pipe comes first, as the tool must take it, so that the simulator's
// end waits alike for both. Exits 0 when every byte was written.

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

constexpr DWORD kPiece = 2048;
constexpr std::size_t kHeaderArea = 1024;
constexpr DWORD kHeaderPacket = 20;

struct LibraryUnloader {
    void operator()(HMODULE library) const { FreeLibrary(library); }
};
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedPipe = std::unique_ptr<void, HandleCloser>;

// Found, loaded, asked and unloaded again before the pipe is used, as the
// tool does. Null when there is no pipe.
OwnedPipe OpenPipe() {
    const std::unique_ptr<HINSTANCE__, LibraryUnloader> library(LoadLibraryExA(
        "VantrelUSB.dll", nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (library == nullptr) {
        return nullptr;
    }
    using OpenFileEntry = std::intptr_t (*)(const char*);
    const auto openFile =
        reinterpret_cast<OpenFileEntry>(reinterpret_cast<void*>(GetProcAddress(library.get(), "open_file")));
    const std::intptr_t handle = openFile != nullptr ? openFile("PIPE00") : -1;
    return OwnedPipe(handle != -1 ? reinterpret_cast<HANDLE>(handle) : nullptr);
}

bool WriteAll(HANDLE pipe, const std::uint8_t* bytes, DWORD count) {
    while (count > 0) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes, count, &written, nullptr)) {
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: plain_writefile_loop IMAGE\n");
        return 64;
    }
    const OwnedPipe pipe = OpenPipe();
    if (pipe == nullptr) {
        std::fprintf(stderr, "plain_writefile_loop: no pipe from VantrelUSB.dll\n");
        return 69;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> image(std::istreambuf_iterator<char>(file), {});
    bool ok = image.size() > kHeaderArea && WriteAll(pipe.get(), image.data(), kHeaderPacket);
    for (std::size_t offset = kHeaderArea; ok && offset < image.size(); offset += kPiece) {
        ok = WriteAll(pipe.get(), image.data() + offset,
                      static_cast<DWORD>(std::min<std::size_t>(kPiece, image.size() - offset)));
    }
    if (!ok) {
        std::fprintf(stderr, "plain_writefile_loop: writing %s failed\n", argv[1]);
        return 74;
    }
    return 0;
}
