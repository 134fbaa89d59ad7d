#pragma once

#include <functional>

#include <QUrl>

#include "DesktopSession.h"
#include "QtInstanceLock.h"

namespace tarnleaf {

// The program's session on a Qt desktop: the single-instance lock, opening documents with
// the desktop's default application, and the end of the event loop. The QApplication must
// exist before this object.
class QtDesktopSession final : public DesktopSession {
public:
    // `lockFile` empty: QtInstanceLock::DefaultPath(). `openUrl` empty: QDesktopServices.
    explicit QtDesktopSession(QString lockFile = {},
                              std::function<void(const QUrl&)> openUrl = {});

    bool AnotherInstanceRunning() override { return !lock_.TryAcquire(); }
    void OpenDocument(const FilePath& file) override;
    void Quit(int exitCode) override;

    // The event loop; returns the exit code given to Quit (at once if Quit came first).
    int Run();
    bool Quitting() const { return quitting_; }

private:
    QtInstanceLock lock_;
    std::function<void(const QUrl&)> openUrl_;
    bool quitting_ = false;
    int exitCode_ = 0;
};

}  // namespace tarnleaf
