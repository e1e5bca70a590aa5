#pragma once
// The message pump used while the transport waits on the program's main
// thread: after each wait slice it calls a hook that the GUI layer installs
// (processing the pending window messages), so windows repaint and react
// while a request is in flight. Without a hook, waits simply block.
#include <functional>
#include <thread>

namespace quillory {

class TAntiFreeze {
public:
    // The hook: `allPending` true asks to process every pending message,
    // false to handle at most one, and only if one is waiting.
    using TPumpHook = std::function<void(bool allPending)>;

    // The most recently created pump becomes the process-wide one; its
    // creating thread counts as the program's main thread.
    TAntiFreeze();
    ~TAntiFreeze();
    TAntiFreeze(const TAntiFreeze&) = delete;
    TAntiFreeze& operator=(const TAntiFreeze&) = delete;

    bool Active = true;
    bool ApplicationHasPriority = true;
    int IdleTimeOut = 250; // milliseconds per wait slice
    bool OnlyWhenIdle = true;

    static void SetHook(TPumpHook hook);
    static const TPumpHook& Hook();

    // The process-wide pump, or nullptr.
    static TAntiFreeze* Current();
    // A pump exists, is Active, and the caller runs on the main thread.
    static bool PumpingInUse();
    // Pumps through the current pump when pumping is in use and idle,
    // !OnlyWhenIdle or override allow it.
    static void PumpMessages(bool idle, bool override = false);
    // The slice length waits use: the current pump's IdleTimeOut, or 250.
    static int SliceLength();

    // How many times the hook was called (tests use it to see that waits pump).
    static long PumpCount();

    void DoProcess(bool idle, bool override);

private:
    std::thread::id FMainThread;
};

} // namespace quillory
