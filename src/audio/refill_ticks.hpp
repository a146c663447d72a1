// The wave-out device's refill tick, as the platform runs it: on a thread of
// its own where there are threads, at the program's turns (Flip, each slice
// of a Delay, the pump) where the program shares its thread with a page.
#pragma once

#include <functional>
#include <memory>

namespace zandrel::mix {

class RefillTicks {
public:
    virtual ~RefillTicks() = default; // no tick runs once this returns
};

// Mixing must not wait for ordinary work; decoding ahead may, and must not
// hold up the mixing.
enum class TickPriority { Mixing, Ordinary };

// Calls `tick` about every `periodMs` until the result is destroyed; the next
// period counts from the end of a tick, so a slow tick delays the next one
// rather than piling ticks up.
std::unique_ptr<RefillTicks> StartRefillTicks(std::function<void()> tick, int periodMs,
                                              TickPriority priority = TickPriority::Mixing);

} // namespace zandrel::mix
