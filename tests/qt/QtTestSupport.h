#pragma once

#include <QApplication>
#include <QDeadlineTimer>

namespace tarnleaf::testing {

// The test program's one QApplication, always on Qt's offscreen platform, kept to the end.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "tarnleaf_qt_tests";
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

}  // namespace tarnleaf::testing
