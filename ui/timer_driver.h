// Drives the form's timers with QTimers in the running program. The form::Timer filters
// assignments of the value it already has, so every timerChanged() here is a real change: the
// period restarts from now when the timer is on, and the QTimer stops when it is off. UI thread
// only. The driver must be destroyed before the timers it drives (it detaches from them).
#pragma once

#include <memory>
#include <vector>

#include "form/timer.h"

class QTimer;

namespace ui {

class QtTimerDriver : public form::TimerHost {
public:
    QtTimerDriver();
    ~QtTimerDriver() override;
    QtTimerDriver(const QtTimerDriver&) = delete;
    QtTimerDriver& operator=(const QtTimerDriver&) = delete;

    // Takes the timer over; it is armed at once when enabled.
    void attach(form::Timer& timer);
    void timerChanged(form::Timer& timer) override;

    // The QTimer behind a form timer, or nullptr when the timer is not attached.
    const QTimer* qtTimerFor(const form::Timer& timer) const;

private:
    struct Slot {
        form::Timer* timer;
        std::unique_ptr<QTimer> qt;
    };
    std::vector<Slot> m_slots;
};

}  // namespace ui
