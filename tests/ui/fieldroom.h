#pragma once

#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

// The widest text, in pixels, that field shows whole without scrolling it.
inline int fieldRoom(const QLineEdit *field)
{
    QStyleOptionFrame frame;
    frame.initFrom(field);
    frame.lineWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, field);
    const QRect contents = field->style()
                                   ->subElementRect(QStyle::SE_LineEditContents, &frame, field)
                                   .marginsRemoved(field->textMargins());
    // QLineEdit keeps 2 pixels clear on either side of the text, and scrolls it when the
    // cursor after its end would not fit.
    return contents.width() - 4 - 1;
}
