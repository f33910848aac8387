#include "appicon.h"

QIcon applicationIcon()
{
    // The resources live in a static library, whose initialiser the linker would otherwise
    // drop.
    static const bool resourcesLoaded = [] {
        Q_INIT_RESOURCE(pomvane);
        return true;
    }();
    Q_UNUSED(resourcesLoaded);

    QIcon icon;
    for (const int size : { 16, 32, 48 })
        icon.addFile(QStringLiteral(":/icons/pomvane-%1.png").arg(size), QSize(size, size));
    return icon;
}
