// Periodic timers with the rule the soundscape's schedules rely on: assigning the interval or
// on/off state a timer already has changes nothing; changing either restarts its period from
// that moment. A TimerHost drives the ticks: VirtualClock in tests, a Qt driver in the program.
// UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace form {

class Timer;

class TimerHost {
public:
    virtual ~TimerHost() = default;
    // Starts driving the timer (arming it at once when it is enabled).
    virtual void attach(Timer& timer) = 0;
    // The timer's enabled state or interval really changed: (re)arm or disarm it from now.
    virtual void timerChanged(Timer& timer) = 0;
};

class Timer {
public:
    Timer(std::string name, int intervalMs, bool enabled)
        : m_name(std::move(name)), m_interval(intervalMs), m_enabled(enabled) {}
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    const std::string& name() const { return m_name; }
    bool enabled() const { return m_enabled; }
    int interval() const { return m_interval; }
    void setEnabled(bool on);
    void setInterval(int ms);

    // The host this timer reports its changes to; the host arms it at once if it is enabled.
    void attach(TimerHost* host);
    // Called by the host at every tick.
    void fire() {
        if (onTimer) onTimer();
    }

    std::function<void()> onTimer;

private:
    void changed() {
        if (m_host) m_host->timerChanged(*this);
    }

    std::string m_name;
    int m_interval;
    bool m_enabled;
    TimerHost* m_host = nullptr;
};

// Virtual time for tests: advance(ms) fires every due tick in time order (ties in the order the
// timers were attached), so hours of soundscape run in milliseconds. A tick handler may change
// timers or advance the clock further (a dialog that "waits" while ticks go on).
class VirtualClock : public TimerHost {
public:
    void attach(Timer& timer) override;
    void timerChanged(Timer& timer) override;
    void advance(int64_t ms);
    int64_t now() const { return m_now; }
    // Milliseconds until the timer's next tick, or -1 when it is not armed.
    int64_t untilNextTick(const Timer& timer) const;

private:
    struct Slot {
        Timer* timer;
        int64_t due;  // -1 when disarmed
    };
    Slot* find(const Timer& timer);
    const Slot* find(const Timer& timer) const;

    std::vector<Slot> m_slots;
    int64_t m_now = 0;
};

}  // namespace form
