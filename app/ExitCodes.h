// What a run's outcome means to the caller of each tool.
#pragma once

#include "app/Report.h"

namespace exitcode {

// The Windows exe with /quiet: the codes installers and software-distribution
// systems read. Without /quiet the exe always ends with 0.
constexpr int kWindowsUpdated = 0;
constexpr int kWindowsRestartNeeded = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr int kWindowsNotUpdated = 1603;     // ERROR_INSTALL_FAILURE
constexpr int kWindowsBadSwitch = 87;        // ERROR_INVALID_PARAMETER

// The Linux tool; with several drive roots the highest code of them.
constexpr int kLinuxUpdated = 0;
constexpr int kLinuxNotUpdated = 1;
constexpr int kLinuxRefused = 2;       // bad usage or bad root, before anything is touched
constexpr int kLinuxOutputFailed = 3;  // the report or message could not be written

inline int ForWindows(Outcome outcome) {
    switch (outcome) {
        case Outcome::kUpdated:
            return kWindowsUpdated;
        case Outcome::kUpdatedRestartNeeded:
            return kWindowsRestartNeeded;
        case Outcome::kNotUpdated:
            break;
    }
    return kWindowsNotUpdated;
}

inline int ForLinux(Outcome outcome) {
    return outcome == Outcome::kNotUpdated ? kLinuxNotUpdated : kLinuxUpdated;
}

}  // namespace exitcode
