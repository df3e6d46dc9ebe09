#include "browser/PageWaitSettings.h"

#include <atomic>

namespace linkvane {
namespace {

// Written and read on the user-interface thread; atomics keep a stray reader
// on another thread well-defined.
std::atomic<int32_t> g_minRepeatTimes{200};
std::atomic<int32_t> g_minWaitSeconds{0};
std::atomic<int32_t> g_maxWaitSeconds{90};

} // namespace

TPageWaitSettings PageWaitSettings() {
    return {g_minRepeatTimes.load(), g_minWaitSeconds.load(), g_maxWaitSeconds.load()};
}

void SetPageWaitSettings(int32_t MinRepeatTimes, int32_t MinWaitSeconds, int32_t MaxWaitSeconds) {
    g_minRepeatTimes = MinRepeatTimes;
    g_minWaitSeconds = MinWaitSeconds;
    g_maxWaitSeconds = MaxWaitSeconds;
}

} // namespace linkvane
