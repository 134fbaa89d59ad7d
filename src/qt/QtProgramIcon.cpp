#include "QtProgramIcon.h"

// The resource lives in this static library: it has to be registered by name, from outside
// any namespace.
static void RegisterTarnleafResources() { Q_INIT_RESOURCE(tarnleaf); }

namespace tarnleaf {

QIcon LoadProgramIcon() {
    RegisterTarnleafResources();
    QIcon icon(QStringLiteral(":/tarnleaf/tarnleaf.png"));
    return icon.availableSizes().isEmpty() ? QIcon() : icon;
}

}  // namespace tarnleaf
