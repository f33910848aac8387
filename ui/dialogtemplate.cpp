#include "dialogtemplate.h"

#include "appicon.h"
#include "resource.h"
#include "version.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>

namespace {

const char controlIdProperty[] = "controlId";

constexpr DialogItem mainDialogItems[] = {
    { DialogItem::Label, IDC_STATIC, QT_TRANSLATE_NOOP("CPomvaneDlg", "Total files:"), QRect(7, 8, 53, 12) },
    { DialogItem::Field, IDC_FILES, "", QRect(66, 8, 100, 12) },
    { DialogItem::Label, IDC_STATIC, QT_TRANSLATE_NOOP("CPomvaneDlg", "Total characters:"), QRect(7, 21, 58, 12) },
    { DialogItem::Field, IDC_CHARACTERS, "", QRect(66, 21, 100, 12) },
    { DialogItem::Label, IDC_STATIC, QT_TRANSLATE_NOOP("CPomvaneDlg", "Total lines:"), QRect(7, 34, 50, 12) },
    { DialogItem::Field, IDC_LINES, "", QRect(66, 34, 100, 12) },
    // The band above the buttons: a hint while nothing is counted (its text is the window's),
    // under the bars, which take its place while counting runs. Two lines high.
    { DialogItem::Label, IDC_HINT, "", QRect(7, 50, 159, 20) },
    // A bar's text is never shown; it names the bar for screen readers.
    { DialogItem::ProgressBar, IDC_FILE_PROGRESS, QT_TRANSLATE_NOOP("CPomvaneDlg", "Current file"), QRect(7, 52, 159, 6) },
    { DialogItem::ProgressBar, IDC_FILES_PROGRESS, QT_TRANSLATE_NOOP("CPomvaneDlg", "Dropped files"), QRect(7, 58, 159, 10) },
    { DialogItem::Button, IDC_RESET, QT_TRANSLATE_NOOP("CPomvaneDlg", "Reset"), QRect(7, 73, 50, 14) },
    { DialogItem::Button, IDOK, QT_TRANSLATE_NOOP("CPomvaneDlg", "Close"), QRect(116, 73, 50, 14) },
};

constexpr DialogItem aboutDialogItems[] = {
    { DialogItem::Label, IDC_STATIC, QT_TRANSLATE_NOOP("CAboutDlg", "Pomvane Version %1"), QRect(37, 7, 119, 8) },
    { DialogItem::Label, IDC_STATIC, QT_TRANSLATE_NOOP("CAboutDlg", "\u00a9 2026 The Pomvane developers"), QRect(37, 19, 130, 8) },
    { DialogItem::Button, IDOK, QT_TRANSLATE_NOOP("CAboutDlg", "OK"), QRect(174, 13, 37, 14) },
    { DialogItem::Icon, IDC_STATIC, "", QRect(7, 7, 21, 20) },
};

// The text in the person's language; a %1 in it stands for the program's version.
QString itemText(const char *context, const char *text)
{
    QString translated = QCoreApplication::translate(context, text);
    if (translated.contains(QLatin1String("%1")))
        translated = translated.arg(QLatin1String(POMVANE_VERSION_SHORT));
    return translated;
}

QWidget *createItem(const DialogItem &item, const QString &text, const QRect &geometry, QWidget *parent)
{
    switch (item.kind) {
    case DialogItem::Label: {
        auto *label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return label;
    }
    case DialogItem::Field: {
        auto *field = new QLineEdit(text, parent);
        field->setReadOnly(true);
        return field;
    }
    case DialogItem::ProgressBar: {
        auto *bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setTextVisible(false);
        bar->setAccessibleName(text);
        bar->hide();
        return bar;
    }
    case DialogItem::Button:
        return new QPushButton(text, parent);
    case DialogItem::Icon: {
        auto *icon = new QLabel(parent);
        icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        icon->setPixmap(sharpPixmap(applicationIcon(), geometry.size(), parent->devicePixelRatioF()));
        return icon;
    }
    }
    return nullptr;
}

// A translation longer than the template allowed for widens its button until the style's
// margins fit around the text. The button grows away from the dialog's nearer side, so that
// a button on the right keeps its right edge in line with the fields above it.
void fitButton(QPushButton *button, int dialogWidth)
{
    QStyle *style = button->style();
    const int margins = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                             + style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button)
                             + style->pixelMetric(QStyle::PM_ButtonDefaultIndicator, nullptr, button));
    const int needed = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width() + margins;
    QRect geometry = button->geometry();
    if (needed <= geometry.width())
        return;
    if (geometry.center().x() > dialogWidth / 2)
        geometry.setLeft(geometry.right() + 1 - needed);
    else
        geometry.setWidth(needed);
    button->setGeometry(geometry);
}

} // namespace

// The main window's title is the program's name, the same in every language.
const DialogTemplate mainDialogTemplate = {
    "CPomvaneDlg", "Pomvane", QSize(173, 94), mainDialogItems
};

const DialogTemplate aboutDialogTemplate = {
    "CAboutDlg", QT_TRANSLATE_NOOP("CAboutDlg", "About Pomvane"), QSize(218, 33), aboutDialogItems
};

QSize dialogBaseUnits(const QFontMetrics &metrics)
{
    // The average width is taken over the 52 Latin letters, rounded, as Windows measures it
    // for dialog units; the templates' sizes were chosen for that measure. A font's declared
    // average (QFontMetrics::averageCharWidth) weighs in figures and punctuation and varies
    // from font to font.
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    return QSize(width, metrics.height());
}

// The edges, each rounded, rather than the size: items whose edges line up in units line up
// in pixels too.
QRect mapDialogRect(const QRect &units, const QSize &baseUnits)
{
    const QSize topLeft = mapDialogSize(QSize(units.x(), units.y()), baseUnits);
    const QSize bottomRight = mapDialogSize(QSize(units.x() + units.width(), units.y() + units.height()), baseUnits);
    return QRect(QPoint(topLeft.width(), topLeft.height()), QPoint(bottomRight.width() - 1, bottomRight.height() - 1));
}

QSize mapDialogSize(const QSize &units, const QSize &baseUnits)
{
    return QSize((units.width() * baseUnits.width() + 2) / 4,
                 (units.height() * baseUnits.height() + 4) / 8);
}

QHash<int, QWidget *> buildDialog(QDialog *dialog, const DialogTemplate &dialogTemplate)
{
    dialog->setWindowTitle(itemText(dialogTemplate.context, dialogTemplate.title));
    const QSize baseUnits = dialogBaseUnits(dialog->fontMetrics());
    const QSize size = mapDialogSize(dialogTemplate.size, baseUnits);
    QHash<int, QWidget *> widgets;
    QLabel *pendingLabel = nullptr;
    for (const DialogItem &item : dialogTemplate.items) {
        const QRect geometry = mapDialogRect(item.rect, baseUnits);
        QWidget *widget = createItem(item, itemText(dialogTemplate.context, item.text), geometry, dialog);
        widget->setProperty(controlIdProperty, item.id);
        widget->setGeometry(geometry);
        if (item.kind == DialogItem::Button)
            fitButton(static_cast<QPushButton *>(widget), size.width());
        if (item.id != IDC_STATIC)
            widgets.insert(item.id, widget);
        if (pendingLabel && item.kind == DialogItem::Field)
            pendingLabel->setBuddy(widget);
        pendingLabel = item.kind == DialogItem::Label ? static_cast<QLabel *>(widget) : nullptr;
    }
    dialog->setFixedSize(size);
    return widgets;
}

QWidget *dialogItem(const QWidget *dialog, int id)
{
    if (id == IDC_STATIC)
        return nullptr;
    const QList<QWidget *> children = dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        const QVariant childId = child->property(controlIdProperty);
        if (childId.isValid() && childId.toInt() == id)
            return child;
    }
    return nullptr;
}
