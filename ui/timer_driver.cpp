#include "ui/timer_driver.h"

#include <QTimer>

namespace ui {

QtTimerDriver::QtTimerDriver() = default;

QtTimerDriver::~QtTimerDriver() {
    for (Slot& s : m_slots) s.timer->attach(nullptr);
}

void QtTimerDriver::attach(form::Timer& timer) {
    if (!qtTimerFor(timer)) {
        auto qt = std::make_unique<QTimer>();
        // Waits are counted in ticks, so the ticks should not wander by the 5 % a coarse
        // timer allows.
        qt->setTimerType(Qt::PreciseTimer);
        qt->setSingleShot(false);
        form::Timer* t = &timer;
        QObject::connect(qt.get(), &QTimer::timeout, [t] { t->fire(); });
        m_slots.push_back({t, std::move(qt)});
    }
    timer.attach(this);
}

void QtTimerDriver::timerChanged(form::Timer& timer) {
    for (Slot& s : m_slots) {
        if (s.timer != &timer) continue;
        if (timer.enabled() && timer.interval() > 0)
            s.qt->start(timer.interval());  // restarts the period when already running
        else
            s.qt->stop();
        return;
    }
}

const QTimer* QtTimerDriver::qtTimerFor(const form::Timer& timer) const {
    for (const Slot& s : m_slots)
        if (s.timer == &timer) return s.qt.get();
    return nullptr;
}

}  // namespace ui
