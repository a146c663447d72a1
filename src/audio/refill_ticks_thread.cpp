#include "refill_ticks.hpp"
#include "wave_out.hpp"

#include <atomic>
#include <chrono>
#include <thread>

namespace zandrel::mix {

namespace {

class ThreadTicks final : public RefillTicks {
public:
    ThreadTicks(std::function<void()> tick, int periodMs, TickPriority priority)
        : thread_([this, tick = std::move(tick), periodMs, priority] {
              // A busy machine must not keep the tick waiting longer than the
              // sound ahead of the device lasts.
              if (priority == TickPriority::Mixing) RaiseMixingThreadPriority();
              while (!stop_.load()) {
                  tick();
                  std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
              }
          }) {}
    ~ThreadTicks() override {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_; // last: it starts once stop_ is set up
};

} // namespace

std::unique_ptr<RefillTicks> StartRefillTicks(std::function<void()> tick, int periodMs,
                                              TickPriority priority) {
    return std::make_unique<ThreadTicks>(std::move(tick), periodMs, priority);
}

} // namespace zandrel::mix
