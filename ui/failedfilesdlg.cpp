#include "failedfilesdlg.h"

#include "translations.h"

#include "engine/engine.h"
#include "present/failed_list.h"
#include "present/failure_text.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

QString reasonText(const failure_reason &reason)
{
    return QString::fromStdString(failure_text(reason, translatedWords(failure_words(reason.what, failure_reader::window))));
}

} // namespace

CFailedFilesDlg::CFailedFilesDlg(engine &countingEngine, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , countingEngine(countingEngine)
    , list(new QTreeWidget(this))
    , notKeptLabel(new QLabel(this))
{
    setWindowTitle(tr("Failed Files"));

    list->setHeaderLabels({ tr("File"), tr("Reason") });
    list->setAccessibleName(tr("Failed Files"));
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true); // keeps 10,000 rows quick to lay out
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The end of a long path names the file; keep it in view. A row's tooltip shows it whole.
    list->setTextElideMode(Qt::ElideMiddle);
    // The reasons are short and are read whole: their column is as wide as the widest, and
    // the paths take the rest, growing with the window.
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->header()->setSectionResizeMode(1, QHeaderView::Fixed);
    list->header()->resizeSection(1, list->header()->sectionSizeHint(1));

    auto *copyRows = new QAction(list);
    copyRows->setShortcuts(QKeySequence::Copy);
    copyRows->setShortcutContext(Qt::WidgetShortcut);
    connect(copyRows, &QAction::triggered, this, &CFailedFilesDlg::copySelectedRows);
    list->addAction(copyRows);

    notKeptLabel->hide();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    copyButton = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
    copyButton->setEnabled(false);
    // Enter in the list closes, as the Windows list does, rather than pressing Copy, the
    // first button, which Qt would make the default.
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(copyButton, &QPushButton::clicked, this, &CFailedFilesDlg::copyList);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addWidget(notKeptLabel);
    layout->addWidget(buttons);

    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 80, metrics.height() * 16);
    placeBeside(parent);
}

// Below the main window rather than over it, as Qt would put it, so that the totals stay in
// view; above it when there is no room below. This window's frame is not known before it is
// shown: it is taken to be the main window's, or a title bar's height where Qt does not know
// that one either (as under some window managers).
void CFailedFilesDlg::placeBeside(const QWidget *window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                   outer.bottom() - inner.bottom());
    if (frame.isNull())
        frame.setTop(3 * fontMetrics().height());
    const QRect area = window->screen()->availableGeometry();
    QRect place(outer.bottomLeft() + QPoint(0, 1), size().grownBy(frame));
    if (place.bottom() > area.bottom())
        place.moveBottom(outer.top() - 1);
    place.moveLeft(std::clamp(place.left(), area.left(), std::max(area.left(), area.right() - place.width() + 1)));
    place.moveTop(std::max(place.top(), area.top()));
    move(place.topLeft());
}

void CFailedFilesDlg::refresh()
{
    const std::vector<failed_row> rows = take_failed_rows(countingEngine, listed);
    if (!rows.empty()) {
        QList<QTreeWidgetItem *> items;
        items.reserve(qsizetype(rows.size()));
        for (const failed_row &row : rows) {
            const QString name = QString::fromStdString(row.name);
            const QString reason = reasonText(row.reason);
            auto *item = new QTreeWidgetItem({ name, reason });
            const QString whole = rowLine(item);
            item->setToolTip(0, whole);
            item->setToolTip(1, whole);
            items.append(item);
        }
        list->addTopLevelItems(items);
        fitReasons(items);
        copyButton->setEnabled(true);
    }
    const std::uint64_t notKept = countingEngine.failures_not_kept();
    notKeptLabel->setText(QString::fromStdString(not_kept_text(notKept, translatedWords(not_kept_words))));
    notKeptLabel->setVisible(notKept != 0);
}

void CFailedFilesDlg::clear()
{
    list->clear();
    list->header()->resizeSection(1, list->header()->sectionSizeHint(1));
    listed = 0;
    notKeptLabel->hide();
    copyButton->setEnabled(false);
}

// Measured as the rows come, each once: the header's own fitting looks at only some rows.
void CFailedFilesDlg::fitReasons(const QList<QTreeWidgetItem *> &items)
{
    int widest = list->header()->sectionSize(1);
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.font = list->font();
    for (const QTreeWidgetItem *item : items)
        widest = std::max(widest, list->itemDelegate()->sizeHint(option, list->indexFromItem(item, 1)).width());
    list->header()->resizeSection(1, widest);
}

QString CFailedFilesDlg::rowLine(const QTreeWidgetItem *item)
{
    return QString::fromStdString(row_line(item->text(0).toStdString(), item->text(1).toStdString()));
}

// Ctrl+C in the list: the rows selected, in the list's order, as Copy writes them.
void CFailedFilesDlg::copySelectedRows()
{
    QString text;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        if (item->isSelected())
            text += rowLine(item) + QLatin1Char('\n');
    }
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void CFailedFilesDlg::copyList()
{
    QString text;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        text += rowLine(list->topLevelItem(i)) + QLatin1Char('\n');
    if (notKeptLabel->isVisibleTo(this))
        text += notKeptLabel->text() + QLatin1Char('\n');
    QApplication::clipboard()->setText(text);
}
