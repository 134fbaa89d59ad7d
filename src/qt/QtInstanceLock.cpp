#include "QtInstanceLock.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tarnleaf {

QtInstanceLock::QtInstanceLock(QString path)
    : path_(path.isEmpty() ? DefaultPath() : std::move(path)) {}

QString QtInstanceLock::DefaultPath() {
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        return QDir(runtime).filePath(QStringLiteral("tarnleaf.lock"));
    }
    return QStringLiteral("/tmp/tarnleaf-%1.lock").arg(static_cast<qulonglong>(::getuid()));
}

bool QtInstanceLock::TryAcquire() {
    if (held_) {
        return true;
    }
    lock_ = std::make_unique<QLockFile>(path_);
    // Never stale by age: a copy that runs for weeks still holds it. A dead owner is
    // recognised by its process id instead.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        held_ = true;
        return true;
    }
    const bool otherCopy = lock_->error() == QLockFile::LockFailedError;
    lock_.reset();
    return !otherCopy;
}

}  // namespace tarnleaf
