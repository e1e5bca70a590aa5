#include "http/AntiFreeze.h"

#include <atomic>
#include <mutex>

namespace quillory {

namespace {

std::mutex gPumpLock;
TAntiFreeze* gCurrent = nullptr;
TAntiFreeze::TPumpHook gHook;
std::atomic<long> gPumpCount{0};

} // namespace

TAntiFreeze::TAntiFreeze() : FMainThread(std::this_thread::get_id()) {
    std::lock_guard<std::mutex> guard(gPumpLock);
    gCurrent = this;
}

TAntiFreeze::~TAntiFreeze() {
    std::lock_guard<std::mutex> guard(gPumpLock);
    if (gCurrent == this)
        gCurrent = nullptr;
}

void TAntiFreeze::SetHook(TPumpHook hook) {
    std::lock_guard<std::mutex> guard(gPumpLock);
    gHook = std::move(hook);
}

const TAntiFreeze::TPumpHook& TAntiFreeze::Hook() {
    return gHook;
}

TAntiFreeze* TAntiFreeze::Current() {
    std::lock_guard<std::mutex> guard(gPumpLock);
    return gCurrent;
}

bool TAntiFreeze::PumpingInUse() {
    TAntiFreeze* pump = Current();
    return pump != nullptr && pump->Active && std::this_thread::get_id() == pump->FMainThread;
}

int TAntiFreeze::SliceLength() {
    TAntiFreeze* pump = Current();
    return pump != nullptr && pump->IdleTimeOut > 0 ? pump->IdleTimeOut : 250;
}

void TAntiFreeze::PumpMessages(bool idle, bool override) {
    if (!PumpingInUse())
        return;
    Current()->DoProcess(idle, override);
}

long TAntiFreeze::PumpCount() {
    return gPumpCount.load();
}

void TAntiFreeze::DoProcess(bool idle, bool override) {
    if (!(idle || !OnlyWhenIdle || override))
        return;
    // Copy the hook: a handler run by the pump may install another one.
    TPumpHook hook;
    {
        std::lock_guard<std::mutex> guard(gPumpLock);
        hook = gHook;
    }
    if (!hook)
        return;
    ++gPumpCount;
    hook(ApplicationHasPriority);
}

} // namespace quillory
