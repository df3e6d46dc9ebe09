#pragma once

#include <cstdint>

namespace linkvane {

/// The process-wide page-waiting settings that every page wait reads. Loading
/// a task and confirming the speed options write all three at once.
struct TPageWaitSettings {
    int32_t MinRepeatTimes = 200; ///< 20 ms polls that must pass before a complete page counts
    int32_t MinWaitSeconds = 0;   ///< whole seconds waited before polling begins
    int32_t MaxWaitSeconds = 90;  ///< seconds of polling after which loading is stopped
};

/// The settings in force (start-up values 200, 0 and 90 until a task is loaded).
TPageWaitSettings PageWaitSettings();
void SetPageWaitSettings(int32_t MinRepeatTimes, int32_t MinWaitSeconds, int32_t MaxWaitSeconds);

} // namespace linkvane
