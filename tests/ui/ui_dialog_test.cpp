#include "aboutdlg.h"
#include "appicon.h"
#include "dialogtemplate.h"
#include "fieldroom.h"
#include "menuletters.h"
#include "pomvanedlg.h"
#include "resource.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

namespace {

struct ExpectedItem
{
    int id;
    const char *className;
    QString text;
    QRect units;
};

// The window's menu, in order; a field's menu ends with it.
const QStringList windowMenu = { "Add &Files...", "&Paste Files", "Copy &Totals", "Fai&led Files...", "Cou&nted Files...", "-",
                                 "Count Files in F&olders", "Skip &Ignored Files", "Count &Unicode Characters", "-",
                                 "&About Pomvane..." };

// The templates' items, in order, as their dialogs must show them.
const QList<ExpectedItem> mainItems = {
    { IDC_STATIC, "QLabel", "Total files:", { 7, 8, 53, 12 } },
    { IDC_FILES, "QLineEdit", "", { 66, 8, 100, 12 } },
    { IDC_STATIC, "QLabel", "Total characters:", { 7, 21, 58, 12 } },
    { IDC_CHARACTERS, "QLineEdit", "", { 66, 21, 100, 12 } },
    { IDC_STATIC, "QLabel", "Total lines:", { 7, 34, 50, 12 } },
    { IDC_LINES, "QLineEdit", "", { 66, 34, 100, 12 } },
    { IDC_HINT, "QLabel", "Drop files here. Right-click for more.", { 7, 50, 159, 20 } },
    { IDC_FILE_PROGRESS, "QProgressBar", "", { 7, 52, 159, 6 } },
    { IDC_FILES_PROGRESS, "QProgressBar", "", { 7, 58, 159, 10 } },
    { IDC_RESET, "QPushButton", "Reset", { 7, 73, 50, 14 } },
    { IDOK, "QPushButton", "Close", { 116, 73, 50, 14 } },
};

const QList<ExpectedItem> aboutItems = {
    { IDC_STATIC, "QLabel", "Pomvane Version " POMVANE_RELEASE, { 37, 7, 119, 8 } },
    { IDC_STATIC, "QLabel", "\u00a9 2026 The Pomvane developers", { 37, 19, 130, 8 } },
    { IDOK, "QPushButton", "OK", { 174, 13, 37, 14 } },
    { IDC_STATIC, "QLabel", "", { 7, 7, 21, 20 } },
};

// Dialog units as Windows defines them: a quarter of the mean width of the 52 Latin
// letters, an eighth of the font's height, each edge rounded.
QRect toPixels(const QRect &units, const QFont &font)
{
    const QFontMetrics metrics(font);
    const int x = qRound(metrics.horizontalAdvance(
                                 QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"))
                         / 52.0);
    const int y = metrics.height();
    return QRect(QPoint(qRound(units.x() * x / 4.0), qRound(units.y() * y / 8.0)),
                 QPoint(qRound((units.x() + units.width()) * x / 4.0) - 1,
                        qRound((units.y() + units.height()) * y / 8.0) - 1));
}

// The dialog's items in creation order; the menus are windows of their own.
QList<QWidget *> items(const QWidget *dialog)
{
    QList<QWidget *> widgets;
    for (QWidget *child : dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow())
            widgets.append(child);
    }
    return widgets;
}

QString textOf(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<const QPushButton *>(widget))
        return button->text();
    if (auto *field = qobject_cast<const QLineEdit *>(widget))
        return field->text();
    return QString();
}

void compareLayout(QDialog *dialog, const QList<ExpectedItem> &expected, const QRect &dialogUnits)
{
    const QList<QWidget *> widgets = items(dialog);
    QCOMPARE(widgets.size(), expected.size());
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        const ExpectedItem &item = expected[i];
        QWidget *widget = widgets[i];
        QCOMPARE(widget->metaObject()->className(), item.className);
        QCOMPARE(textOf(widget), item.text);
        QCOMPARE(widget->geometry(), toPixels(item.units, dialog->font()));
        // A text wider than its item would be cut off; one that wraps must fit its lines.
        const auto *label = qobject_cast<const QLabel *>(widget);
        if (label && label->wordWrap())
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(item.text));
        else
            QVERIFY2(widget->fontMetrics().horizontalAdvance(item.text) <= widget->contentsRect().width(),
                     qPrintable(item.text));
        if (item.id != IDC_STATIC)
            QCOMPARE(dialogItem(dialog, item.id), widget);
    }
    const QSize size = toPixels(dialogUnits, dialog->font()).size();
    QCOMPARE(dialog->minimumSize(), size);
    QCOMPARE(dialog->maximumSize(), size);
}

} // namespace

class DialogTest : public QObject
{
    Q_OBJECT

private slots:
    void mainDialogFollowsItsTemplate();
    void mainDialogGrowsWithItsFont();
    void aboutBoxFollowsItsTemplate();
    void windowIsFixedAndOnTop();
    void fieldsShowTheWidestTotalsWhole();
    void buttonsFitTheirTextsInEveryLanguage();
    void firstRefreshShowsZeros();
    void fieldTextKeepsSelection();
    void escapeAndCloseEndTheDialog();
    void contextMenuOpensAboutBox();
    void menuKeyOpensTheMenuAtTheFocus();
};

void DialogTest::mainDialogFollowsItsTemplate()
{
    CPomvaneDlg dlg;
    QCOMPARE(dlg.windowTitle(), "Pomvane");
    compareLayout(&dlg, mainItems, QRect(0, 0, 173, 94));
    for (const int id : { IDC_FILES, IDC_CHARACTERS, IDC_LINES })
        QVERIFY(qobject_cast<QLineEdit *>(dialogItem(&dlg, id))->isReadOnly());
    for (const int id : { IDC_FILE_PROGRESS, IDC_FILES_PROGRESS }) {
        auto *bar = qobject_cast<QProgressBar *>(dialogItem(&dlg, id));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QVERIFY(!bar->isTextVisible());
    }

    // Each label names the field after it, for screen readers; the bars say what they show.
    const QList<QWidget *> widgets = items(&dlg);
    for (const int i : { 0, 2, 4 })
        QCOMPARE(qobject_cast<QLabel *>(widgets[i])->buddy(), widgets[i + 1]);
    const auto accessibleName = [&dlg](int id) {
        return QAccessible::queryAccessibleInterface(dialogItem(&dlg, id))->text(QAccessible::Name);
    };
    QCOMPARE(accessibleName(IDC_FILE_PROGRESS), "Current file");
    QCOMPARE(accessibleName(IDC_FILES_PROGRESS), "Dropped files");

    // Tab goes through the items in template order.
    QList<QWidget *> order;
    QWidget *widget = dialogItem(&dlg, IDC_FILES);
    do {
        if (widget->focusPolicy() & Qt::TabFocus && widget != &dlg)
            order.append(widget);
        widget = widget->nextInFocusChain();
    } while (widget != dialogItem(&dlg, IDC_FILES));
    QCOMPARE(order, QList<QWidget *>({ widgets[1], widgets[3], widgets[5], widgets[9], widgets[10] }));
}

void DialogTest::mainDialogGrowsWithItsFont()
{
    const QFont font = QApplication::font();
    QFont large = font;
    large.setPointSizeF(font.pointSizeF() * 2);
    QApplication::setFont(large);
    CPomvaneDlg dlg;
    QApplication::setFont(font);
    compareLayout(&dlg, mainItems, QRect(0, 0, 173, 94));
}

void DialogTest::aboutBoxFollowsItsTemplate()
{
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), "About Pomvane");
    compareLayout(&about, aboutItems, QRect(0, 0, 218, 33));
    const auto *icon = qobject_cast<QLabel *>(items(&about).last());
    QVERIFY(!about.windowIcon().isNull());

    // The icon's own images, unscaled: the largest that fits its 37x35 item, at the item's
    // pixel ratio. Scaled to the item they blur.
    QCOMPARE(icon->size(), QSize(37, 35));
    QCOMPARE(icon->pixmap().size(), QSize(32, 32));
    const QPixmap twice = sharpPixmap(applicationIcon(), icon->size(), 2.0);
    QCOMPARE(twice.size(), QSize(48, 48));
    QCOMPARE(twice.devicePixelRatio(), 2.0);
    QCOMPARE(sharpPixmap(applicationIcon(), QSize(8, 8), 1.0).size(), QSize(16, 16));
}

void DialogTest::windowIsFixedAndOnTop()
{
    CPomvaneDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const Qt::WindowFlags flags = dlg.windowFlags();
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QCOMPARE(dlg.focusWidget(), dialogItem(&dlg, IDC_LINES));

    qobject_cast<QPushButton *>(dialogItem(&dlg, IDC_RESET))->click();
    QVERIFY(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(dlg.isVisible());
}

// 99,999 files of which 9,999 failed, and 12-digit characters and lines, are shown whole, at
// the scale this test runs at (CTest runs it at 1, 1.5 and 2).
void DialogTest::fieldsShowTheWidestTotalsWhole()
{
    CPomvaneDlg dlg;
    const std::pair<int, QString> widest[] = { { IDC_FILES, "99999 (9999 failed to open)" },
                                               { IDC_CHARACTERS, "999999999999" },
                                               { IDC_LINES, "999999999999" } };
    for (const auto &[id, text] : widest) {
        auto *field = qobject_cast<QLineEdit *>(dialogItem(&dlg, id));
        const int room = fieldRoom(field);
        const int needed = field->fontMetrics().horizontalAdvance(text);
        QVERIFY2(needed <= room, qPrintable(QStringLiteral("%1: %2 pixels wide, room for %3 at scale %4")
                                                    .arg(text).arg(needed).arg(room)
                                                    .arg(dlg.devicePixelRatioF())));
    }
}

// In English, German and French each button leaves the style's margins around its text, and
// the main window's right edges line up.
void DialogTest::buttonsFitTheirTextsInEveryLanguage()
{
    for (const QString language : { "en", "de", "fr" }) {
        QTranslator translator;
        if (language != "en") {
            QVERIFY(translator.load("pomvane_" + language, POMVANE_TRANSLATIONS_BUILD_DIR));
            QVERIFY(QApplication::installTranslator(&translator));
        }
        CPomvaneDlg dlg;
        CAboutDlg about;
        QApplication::removeTranslator(&translator);
        for (const QDialog *dialog : std::initializer_list<const QDialog *>{ &dlg, &about }) {
            for (const QPushButton *button : dialog->findChildren<QPushButton *>()) {
                const QStyle *style = button->style();
                const int margin = style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                        + style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
                const int text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text()).width();
                QVERIFY2(text + 2 * margin <= button->width(),
                         qPrintable(QStringLiteral("%1: %2 pixels wide, %3 of text at scale %4")
                                            .arg(button->text()).arg(button->width()).arg(text)
                                            .arg(dlg.devicePixelRatioF())));
                QVERIFY(dialog->rect().contains(button->geometry()));
            }
        }
        const QRect reset = dialogItem(&dlg, IDC_RESET)->geometry();
        const QRect close = dialogItem(&dlg, IDOK)->geometry();
        QVERIFY(reset.right() < close.left());
        for (const int id : { IDC_FILES, IDC_FILE_PROGRESS, IDC_FILES_PROGRESS, IDC_HINT })
            QCOMPARE(dialogItem(&dlg, id)->geometry().right(), close.right());
        QCOMPARE(dialogItem(&dlg, IDC_FILE_PROGRESS)->geometry().left(), reset.left());
    }
}

void DialogTest::firstRefreshShowsZeros()
{
    CPomvaneDlg dlg;
    auto *lines = qobject_cast<QLineEdit *>(dialogItem(&dlg, IDC_LINES));
    auto *files = qobject_cast<QLineEdit *>(dialogItem(&dlg, IDC_FILES));
    auto *characters = qobject_cast<QLineEdit *>(dialogItem(&dlg, IDC_CHARACTERS));
    QCOMPARE(lines->text(), "");

    // Any timer refreshes, whatever its id.
    QTimerEvent tick(REFRESH_TIMER_ID + 1);
    QApplication::sendEvent(&dlg, &tick);
    QCOMPARE(files->text(), "0");
    QCOMPARE(characters->text(), "0");
    QCOMPARE(lines->text(), "0");
    QVERIFY(dialogItem(&dlg, IDC_FILE_PROGRESS)->isHidden());
    QVERIFY(dialogItem(&dlg, IDC_FILES_PROGRESS)->isHidden());

    // The window's own timer, which redraws what changed.
    dlg.addFiles(std::vector<std::string>{ "/nonexistent/pomvane-dialog-test" });
    QTRY_COMPARE(files->text(), "0 (1 failed to open)");
}

void DialogTest::fieldTextKeepsSelection()
{
    QLineEdit field("1234567");

    field.setSelection(2, 3); // cursor after the selection
    set_field_text(&field, "12345678");
    QCOMPARE(field.selectionStart(), 2);
    QCOMPARE(field.selectedText(), "345");
    QCOMPARE(field.cursorPosition(), 5);

    field.setSelection(5, -3); // selected backwards: cursor before the selection
    set_field_text(&field, "123456789");
    QCOMPARE(field.selectedText(), "345");
    QCOMPARE(field.cursorPosition(), 2);

    // A selection past the end of a shorter text is cut to it.
    field.setSelection(1, 7);
    set_field_text(&field, "0");
    QVERIFY(!field.hasSelectedText());
    QCOMPARE(field.cursorPosition(), 1);

    field.setText("12 (3 failed to open)");
    field.setCursorPosition(4);
    set_field_text(&field, "13 (3 failed to open)");
    QCOMPARE(field.cursorPosition(), 4);
    QVERIFY(!field.hasSelectedText());
}

void DialogTest::escapeAndCloseEndTheDialog()
{
    {
        CPomvaneDlg dlg;
        QTimer::singleShot(0, &dlg, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    }
    {
        CPomvaneDlg dlg;
        QTimer::singleShot(0, &dlg, [&dlg] { qobject_cast<QPushButton *>(dialogItem(&dlg, IDOK))->click(); });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    }
    {
        // The window's close button.
        CPomvaneDlg dlg;
        QTimer::singleShot(0, &dlg, [&dlg] { dlg.close(); });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    }
}

void DialogTest::contextMenuOpensAboutBox()
{
    CPomvaneDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    QApplication::clipboard()->setText("no files here");
    QStringList menuEntries;
    bool pasteEnabled = true;
    QString aboutText;
    bool aboutWasModal = false;
    QTimer::singleShot(0, &dlg, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (const QAction *action : menu->actions()) {
            menuEntries.append(action->isSeparator() ? "-" : action->text());
            if (action->text() == "&Paste Files")
                pasteEnabled = action->isEnabled();
        }
        QTimer::singleShot(0, &dlg, [&] {
            auto *about = qobject_cast<CAboutDlg *>(QApplication::activeModalWidget());
            if (!about)
                return;
            aboutWasModal = about->isModal() && about->isVisible();
            aboutText = qobject_cast<QLabel *>(items(about).first())->text();
            qobject_cast<QPushButton *>(dialogItem(about, IDOK))->click();
        });
        // Up from nothing selected lands on the last entry.
        QTest::keyClick(menu, Qt::Key_Up);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    const QPoint pos(10, 10);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, pos, dlg.mapToGlobal(pos));
    QApplication::sendEvent(&dlg, &rightClick);

    QCOMPARE(menuEntries, windowMenu);
    QVERIFY(!pasteEnabled);
    QVERIFY(aboutWasModal);
    QCOMPARE(aboutText, "Pomvane Version " POMVANE_RELEASE);
    QVERIFY(dlg.findChildren<CAboutDlg *>().isEmpty());
    QVERIFY(!QApplication::activePopupWidget());
    QVERIFY(dlg.isVisible());
}

// Shift+F10, as on Windows, opens the menu at the focused widget: a field's own menu, with the
// window's entries added, or the window's menu at a button.
void DialogTest::menuKeyOpensTheMenuAtTheFocus()
{
    // An empty clipboard, which has no data at all to look at for files.
    QApplication::clipboard()->clear();
    CPomvaneDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    for (const int id : { IDC_RESET, IDC_LINES }) {
        QWidget *target = dialogItem(&dlg, id);
        target->setFocus();
        QStringList entries;
        QPoint menuCorner;
        // Watches for the menu, which opens in a loop of its own.
        QTimer watch;
        connect(&watch, &QTimer::timeout, &dlg, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (const QAction *action : menu->actions())
                entries.append(action->isSeparator() ? "-" : action->text());
            menuCorner = menu->pos();
            menu->close();
        });
        watch.start(10);
        QTest::keyClick(target, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY2(!entries.isEmpty(), "no menu opened");
        QCOMPARE(entries.sliced(entries.size() - windowMenu.size()), windowMenu);
        QCOMPARE(entries.first().startsWith("&Copy"), id == IDC_LINES); // the field's own entries
        // Each entry's letter picks it alone.
        QCOMPARE(entryWithSharedLetter(entries), QString());
        const QRect targetRect(target->mapToGlobal(QPoint(0, 0)), target->size());
        QVERIFY2(targetRect.contains(menuCorner), qPrintable(QString::number(id)));
    }
}

QTEST_MAIN(DialogTest)
#include "ui_dialog_test.moc"
