#include "system_native.hpp"
#include "system_parts.hpp"

#include <climits>
#include <cmath>
#include <unordered_map>

namespace zandrel {

namespace {

// Running timers by handle. A tick that arrives for a handle no longer here
// belongs to a stopped timer and is dropped.
std::unordered_map<int, TTimer*> runningTimers;
int lastTimerHandle = 0;

int StartSystemTimer(int delay, TTimer* timer) {
    int handle = ++lastTimerHandle;
    if (!native::StartTickSource(handle, delay)) return 0;
    runningTimers[handle] = timer;
    return handle;
}

void StopSystemTimer(int handle) {
    if (handle == 0) return;
    native::StopTickSource(handle);
    runningTimers.erase(handle);
}

} // namespace

int TimerPeriodMs(float hertz) {
    if (!(hertz > 0.0f && hertz <= 1000.0f))
        throw RuntimeError("Timer rate must be above 0 and at most 1000 Hz");
    double delay = std::trunc(1000.0 / hertz);
    if (delay > INT_MAX) throw RuntimeError("Timer rate is too low");
    return static_cast<int>(delay);
}

void DeliverTimerTick(int handle) {
    auto found = runningTimers.find(handle);
    if (found != runningTimers.end()) found->second->Fire();
}

TTimer::~TTimer() {
    StopSystemTimer(handle_);
}

int TTimer::Ticks() {
    return ticks_;
}

void TTimer::Stop() {
    if (handle_ == 0) return;
    StopSystemTimer(handle_);
    handle_ = 0;
    event_ = nullptr;
    keepAlive_ = nullptr; // may be the last reference: touch nothing after this
}

void TTimer::Fire() {
    auto self = shared_from_this(); // a listener may stop the timer and drop the last reference
    ++ticks_;
    if (event_)
        event_->Emit();
    else
        EmitNewEvent(EventId::TimerTick, self, ticks_);
}

// A stopped timer with no unseen ticks answers 0 instead of waiting forever.
int TTimer::Wait() {
    while (ticks_ == ticksSeen_) {
        if (handle_ == 0) return 0;
        WaitSystemEvents();
    }
    int count = ticks_ - ticksSeen_;
    ticksSeen_ = ticks_;
    return count;
}

Ref<TTimer> TTimer::CreateTimer(float hertz, Ref<TEvent> event) {
    int delay = TimerPeriodMs(hertz);
    auto timer = New<TTimer>();
    timer->event_ = std::move(event);
    timer->handle_ = StartSystemTimer(delay, timer.get());
    if (timer->handle_) timer->keepAlive_ = timer;
    return timer;
}

Ref<TTimer> CreateTimer(float hertz, Ref<TEvent> event) {
    return TTimer::CreateTimer(hertz, std::move(event));
}
int TimerTicks(const Ref<TTimer>& timer) {
    return timer->Ticks();
}
int WaitTimer(const Ref<TTimer>& timer) {
    return timer->Wait();
}
void StopTimer(const Ref<TTimer>& timer) {
    timer->Stop();
}

} // namespace zandrel
