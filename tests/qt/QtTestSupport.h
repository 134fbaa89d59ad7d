#pragma once

#include <QApplication>
#include <QDeadlineTimer>

namespace tarnleaf::testing {

// The test program's one QApplication, always on Qt's offscreen platform, kept to the end.
inline QApplication& TestApplication() {
    static int argc = 1;
    static char name[] = "tarnleaf_qt_tests", *argv[] = {name, nullptr};
    static auto* app = (qputenv("QT_QPA_PLATFORM", "offscreen"), new QApplication(argc, argv));
    return *app;
}

inline bool ProcessEventsUntil(const auto& done, int milliseconds = 2000) {  // whether it held
    const QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents({}, 10);
    return done();
}

}  // namespace tarnleaf::testing
