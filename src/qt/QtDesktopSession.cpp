#include "QtDesktopSession.h"

#include <QApplication>
#include <QDesktopServices>

namespace tarnleaf {

QtDesktopSession::QtDesktopSession(QString lockFile, std::function<void(const QUrl&)> openUrl)
    : lock_(std::move(lockFile)), openUrl_(std::move(openUrl)) {
    // The program ends through Quit only; hiding the window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
}

void QtDesktopSession::OpenDocument(const FilePath& file) {
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
    // Whatever the desktop answers (no file, no application for it) stays unreported.
    if (openUrl_) {
        openUrl_(url);
    } else {
        static_cast<void>(QDesktopServices::openUrl(url));
    }
}

void QtDesktopSession::Quit(int exitCode) {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    exitCode_ = exitCode;
    // Ends the main loop and any nested one (a menu, a message box) it runs in.
    QCoreApplication::exit(exitCode);
}

int QtDesktopSession::Run() {
    if (quitting_) {
        return exitCode_;
    }
    const int code = QApplication::exec();
    return quitting_ ? exitCode_ : code;
}

}  // namespace tarnleaf
