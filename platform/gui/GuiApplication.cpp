// The application object and the pump that lets our message loop drive Qt's event dispatcher.
#include "platform/gui/GuiApplication.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>

#include "platform/Message.h"
#include "platform/Trace.h"

namespace {
constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;

// Runs one batch of Qt events per Wait, blocking in Qt's dispatcher until an event, a Wake
// (from any thread) or the time-out; our loop calls Wait again until its own work is there.
class QtThreadPump final : public IThreadPump {
public:
    QtThreadPump() : dispatcher_(QAbstractEventDispatcher::instance(QThread::currentThread())) {}

    void Wait(uint32_t timeout_ms) override {
        if (!dispatcher_) return;
        if (woken_.exchange(false) || timeout_ms == 0) {
            dispatcher_->processEvents(QEventLoop::AllEvents);
            return;
        }
        QTimer timer;
        if (timeout_ms != kInfiniteWait) {
            timer.setSingleShot(true);
            timer.setTimerType(Qt::PreciseTimer);
            timer.start(static_cast<int>(std::min<uint32_t>(timeout_ms, 0x7FFFFFFF)));
        }
        dispatcher_->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        woken_.store(false);
    }

    void Wake() override {
        woken_.store(true);
        dispatcher_->wakeUp();
    }

private:
    QAbstractEventDispatcher* const dispatcher_;
    std::atomic<bool> woken_{false};
};
}  // namespace

void EnsureGuiApplication() {
    if (QCoreApplication::instance()) {
        LX_ASSERT(qobject_cast<QGuiApplication*>(QCoreApplication::instance()));
        return;
    }
    static int argc = 1;
    static char name[] = "loxanradio";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

void InstallQtPump() {
    EnsureGuiApplication();
    static thread_local QtThreadPump pump;
    SetThreadPump(&pump);
}
