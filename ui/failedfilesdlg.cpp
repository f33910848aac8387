#include "failedfilesdlg.h"

#include "translations.h"

#include "engine/engine.h"
#include "present/failed_list.h"
#include "present/failure_text.h"

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
    return QString::fromStdString(failure_text(reason, translatedWords(failure_words(reason.what))));
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
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true); // keeps 10,000 rows quick to lay out
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The end of a long path names the file; keep it in view.
    list->setTextElideMode(Qt::ElideMiddle);
    list->header()->setStretchLastSection(true);

    notKeptLabel->hide();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    copyButton = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
    copyButton->setEnabled(false);
    connect(copyButton, &QPushButton::clicked, this, &CFailedFilesDlg::copyList);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addWidget(notKeptLabel);
    layout->addWidget(buttons);

    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 80, metrics.height() * 16);
    list->setColumnWidth(0, metrics.averageCharWidth() * 50);
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
            auto *item = new QTreeWidgetItem({ name, reasonText(row.reason) });
            // The column may cut the path short.
            item->setToolTip(0, name);
            items.append(item);
        }
        list->addTopLevelItems(items);
        copyButton->setEnabled(true);
    }
    const std::uint64_t notKept = countingEngine.failures_not_kept();
    notKeptLabel->setText(QString::fromStdString(not_kept_text(notKept, translatedWords(not_kept_words))));
    notKeptLabel->setVisible(notKept != 0);
}

void CFailedFilesDlg::clear()
{
    list->clear();
    listed = 0;
    notKeptLabel->hide();
    copyButton->setEnabled(false);
}

void CFailedFilesDlg::copyList()
{
    QString text;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = list->topLevelItem(i);
        text += QString::fromStdString(row_line(item->text(0).toStdString(), item->text(1).toStdString()))
                + QLatin1Char('\n');
    }
    if (notKeptLabel->isVisibleTo(this))
        text += notKeptLabel->text() + QLatin1Char('\n');
    QApplication::clipboard()->setText(text);
}
