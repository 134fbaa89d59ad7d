#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace tarnleaf::testing {

// The test program's one QApplication, always on Qt's offscreen platform, kept to the end.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "tarnleaf_platform_qt_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* application =
        (qputenv("QT_QPA_PLATFORM", "offscreen"), new QApplication(argc, argv));
    return *application;
}

// Runs the loop until `done` holds or `milliseconds` have passed; whether it holds.
template <typename Condition>
bool ProcessEventsUntil(Condition done, int milliseconds = 2000) {
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// A few turns of the loop, for queued work that has nothing to wait for.
inline void ProcessPendingEvents() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
    }
}

// A quit asked for while no main loop runs ends every later loop at once until the main
// loop has run: run it once, briefly, so the next test starts afresh.
inline void ClearPendingQuit() {
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

}  // namespace tarnleaf::testing
