#pragma once

#include <memory>

#include <QLockFile>
#include <QString>

namespace tarnleaf {

// One running copy per user: a lock file in the user's runtime folder, held for the life of
// this object. A lock left behind by a copy that died is taken over (QLockFile checks
// whether its owner still runs).
class QtInstanceLock {
public:
    // `path` empty: DefaultPath().
    explicit QtInstanceLock(QString path = {});

    // False when another live process holds the lock. Any other failure to take it (an
    // unwritable folder, say) lets this copy run: refusing to start would be worse.
    bool TryAcquire();
    bool Held() const { return held_; }
    const QString& Path() const { return path_; }

    // "tarnleaf.lock" in the runtime folder ($XDG_RUNTIME_DIR), else /tmp/tarnleaf-<uid>.lock.
    static QString DefaultPath();

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool held_ = false;
};

}  // namespace tarnleaf
