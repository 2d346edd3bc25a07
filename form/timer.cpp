#include "form/timer.h"

#include <algorithm>

namespace form {

void Timer::setEnabled(bool on) {
    if (m_enabled == on) return;
    m_enabled = on;
    changed();
}

void Timer::setInterval(int ms) {
    if (m_interval == ms) return;
    m_interval = ms;
    changed();
}

void Timer::attach(TimerHost* host) {
    m_host = host;
    changed();
}

void VirtualClock::attach(Timer& timer) {
    if (!find(timer)) m_slots.push_back({&timer, -1});
    timer.attach(this);
}

void VirtualClock::timerChanged(Timer& timer) {
    Slot* slot = find(timer);
    if (!slot) return;
    slot->due = (timer.enabled() && timer.interval() > 0) ? m_now + timer.interval() : -1;
}

void VirtualClock::advance(int64_t ms) {
    const int64_t target = m_now + ms;
    for (;;) {
        Slot* next = nullptr;
        for (Slot& s : m_slots)
            if (s.due >= 0 && s.due <= target && (!next || s.due < next->due)) next = &s;
        if (!next) break;
        m_now = next->due;
        next->due += next->timer->interval();
        next->timer->fire();
    }
    m_now = std::max(m_now, target);
}

int64_t VirtualClock::untilNextTick(const Timer& timer) const {
    const Slot* slot = find(timer);
    return (slot && slot->due >= 0) ? slot->due - m_now : -1;
}

VirtualClock::Slot* VirtualClock::find(const Timer& timer) {
    for (Slot& s : m_slots)
        if (s.timer == &timer) return &s;
    return nullptr;
}

const VirtualClock::Slot* VirtualClock::find(const Timer& timer) const {
    for (const Slot& s : m_slots)
        if (s.timer == &timer) return &s;
    return nullptr;
}

}  // namespace form
