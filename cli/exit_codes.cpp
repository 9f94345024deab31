#include "cli/exit_codes.h"

namespace tarnwick::cli {

int ExitCodeFor(Refusal refusal) {
    switch (refusal) {
        case Refusal::CannotOpen:
        case Refusal::CannotLoad:
            return kExitCannotRead;
        case Refusal::TooShort:
        case Refusal::NoSignature:
        case Refusal::UartImage:
        case Refusal::TooLarge:
        case Refusal::DigestMismatch:
            return kExitNotAnImage;
        case Refusal::NoDevice:
        case Refusal::LibraryUnusable:
        case Refusal::DeviceUnreachable:
            return kExitNoDevice;
        case Refusal::CannotStart:
            break;
    }
    return kExitTransferFailed;
}

int ExitCodeForStop(std::optional<os::EndRequest> ending) {
    if (ending == os::EndRequest::Terminate) {
        return kExitTerminated;
    }
    return ending == os::EndRequest::HangUp ? kExitHungUp : kExitInterrupted;
}

}  // namespace tarnwick::cli
