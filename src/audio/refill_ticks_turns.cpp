// Without threads the refill runs at the program's turns. Those come at
// least every few milliseconds while it sleeps and once a frame while it
// draws, so every turn refills and the period is left to the device's own
// latency, which grows after an underrun.
#include "refill_ticks.hpp"

#include "system/page_turns.hpp"

namespace zandrel::mix {

namespace {

class TurnTicks final : public RefillTicks {
public:
    explicit TurnTicks(std::function<void()> tick) : id_(AddTurnTask(std::move(tick))) {}
    ~TurnTicks() override { RemoveTurnTask(id_); }

private:
    int id_;
};

} // namespace

std::unique_ptr<RefillTicks> StartRefillTicks(std::function<void()> tick, int, TickPriority) {
    return std::make_unique<TurnTicks>(std::move(tick));
}

} // namespace zandrel::mix
