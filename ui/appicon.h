#pragma once

#include <QIcon>
#include <QPixmap>

// The application's own icon, in all its sizes.
QIcon applicationIcon();

// The icon's largest image that fits size at the device pixel ratio, unscaled, so that it
// stays sharp: scaling 48 px down to 35 or up to 70 blurs it. The smallest image when none
// fits.
QPixmap sharpPixmap(const QIcon &icon, const QSize &size, qreal devicePixelRatio);
