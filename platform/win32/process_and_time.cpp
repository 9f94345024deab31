#include "platform/win32/win32_system.h"
#include "platform/thread_priority.h"
#include "platform/win32/wide_text.h"

#include <thread>
#include <windows.h>

namespace tarnwick::os::win32 {

std::chrono::steady_clock::time_point TickClock::Now() { return std::chrono::steady_clock::now(); }

void Win32Sleeper::Sleep(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

// Wide, and with room for the longest path Windows has: a folder that the
// ANSI code page cannot spell is found all the same.
std::string Win32Process::ExecutablePath() { return ModuleFileName(nullptr); }

// The version Windows has, not the one it tells a program without a
// manifest that names it: ntdll's own record.
std::string Win32Process::SystemVersion() {
    using GetVersionRecord = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto getVersion = reinterpret_cast<GetVersionRecord>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (getVersion == nullptr || getVersion(&version) != 0) {
        return "Windows";
    }
    return "Windows " + std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) +
           " build " + std::to_string(version.dwBuildNumber);
}

std::string Win32Process::WineVersion() {
    using WineGetVersion = const char*(CDECL*)();
    const auto wineVersion = reinterpret_cast<WineGetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    return wineVersion != nullptr ? wineVersion() : "";
}

}  // namespace tarnwick::os::win32

namespace tarnwick::os {

void GiveWayToOtherThreads() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

System& RealSystem() {
    static win32::Win32LibraryLoader libraries;
    static win32::Win32HandleIo handles;
    static win32::Win32FileAccess fileAccess;
    static CheckedFileReader files(fileAccess);
    static win32::Win32ProfileStrings profiles(files);
    static win32::TickClock clock;
    static win32::Win32Sleeper sleeper;
    static win32::Win32Process process;
    static win32::LocalAppDataHistoryStore history;
    static System system{libraries, handles, files, profiles, clock, sleeper, process, history};
    return system;
}

}  // namespace tarnwick::os
