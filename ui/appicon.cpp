#include "appicon.h"

#include <algorithm>

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

QPixmap sharpPixmap(const QIcon &icon, const QSize &size, qreal devicePixelRatio)
{
    QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        return QPixmap();
    std::sort(sizes.begin(), sizes.end(),
              [](const QSize &a, const QSize &b) { return a.width() < b.width(); });
    const QSize room = (QSizeF(size) * devicePixelRatio).toSize();
    QSize best = sizes.first();
    for (const QSize &available : std::as_const(sizes)) {
        if (available.width() <= room.width() && available.height() <= room.height())
            best = available;
    }
    QPixmap pixmap = icon.pixmap(best, 1.0);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}
