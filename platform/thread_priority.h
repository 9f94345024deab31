#pragma once
// Work that must never hold up another thread of this process.

namespace tarnwick::os {

// Lowers the calling thread to the lowest priority at which it still runs
// when the machine is busy: the other threads of the process, and the
// programs it talks to, get a core first.
void GiveWayToOtherThreads();

}  // namespace tarnwick::os
