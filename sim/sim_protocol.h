#pragma once
// The stand-in library and the simulator speak over a Unix stream socket,
// one connection per call. The caller sends one request line; the simulator
// answers with one line.
//
//   "DEV\n"          -> "1\n" when a device is attached, "0\n" when not.
//                       The connection is the device handle; closing it is
//                       all the caller ever does with it.
//   "PIPE <name>\n"  -> "1\n", after which the connection carries the image
//                       stream (header packet, then payload, until the
//                       caller closes); or "0\n" when detached, busy, or
//                       for an unknown pipe.
//   "ATTACH\n", "DETACH\n" -> "OK\n"
//   "STATUS\n"       -> "attached|detached <finished transfers> <running>\n"
//
// Anything else is garbage: the simulator closes the connection.

#include <cstddef>

namespace tarnwick::sim {

inline constexpr const char* kProbeRequest = "DEV\n";
inline constexpr const char* kPipeRequestPrefix = "PIPE ";
inline constexpr const char* kAttachRequest = "ATTACH\n";
inline constexpr const char* kDetachRequest = "DETACH\n";
inline constexpr const char* kStatusRequest = "STATUS\n";
inline constexpr const char* kYesAnswer = "1\n";
inline constexpr const char* kNoAnswer = "0\n";
inline constexpr const char* kOkAnswer = "OK\n";
inline constexpr const char* kKnownPipe = "PIPE00";

// A request line longer than this is garbage.
inline constexpr std::size_t kMaxRequestLine = 64;

}  // namespace tarnwick::sim
