#include "failedfilesdlg.h"

#include "engine/engine.h"
#include "lib/os.h"
#include "present/failure_text.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStringDecoder>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace {

QString escapedByte(unsigned char byte)
{
    return QString::asprintf("\\x%02X", byte);
}

// Our own words for each kind of failure, in the person's language; the system's messages
// come in the language the C library has for them.
[[maybe_unused]] constexpr const char *failureWords[] = {
    QT_TRANSLATE_NOOP("CFailedFilesDlg", "is a folder"),
    QT_TRANSLATE_NOOP("CFailedFilesDlg", "not a regular file"),
    QT_TRANSLATE_NOOP("CFailedFilesDlg", "file system loop"),
    QT_TRANSLATE_NOOP("CFailedFilesDlg", "a folder in it moved during the walk"),
};

QString reasonText(const failure_reason &reason)
{
    QString text = QCoreApplication::translate("CFailedFilesDlg", failure_words(reason.what));
    // Filled by hand: QString::arg() warns of a mark that a kind's words do not have.
    text.replace(QLatin1String("%1"), QString::number(reason.bytes));
    return text.replace(QLatin1String("%2"), QString::fromStdString(lib::os::error_message(reason.code)));
}

} // namespace

// Written out because QFile::decodeName turns every invalid byte into the same U+FFFD,
// hiding which byte it was, and leaves control characters as they are.
QString displayPath(const std::string &path)
{
    QString shown;
    shown.reserve(qsizetype(path.size()));
    std::size_t at = 0;
    while (at < path.size()) {
        const auto lead = static_cast<unsigned char>(path[at]);
        if (lead < 0x80) {
            if (lead < 0x20 || lead == 0x7f)
                shown += escapedByte(lead);
            else
                shown += QLatin1Char(char(lead));
            ++at;
            continue;
        }
        // The length the lead byte announces; Qt's decoder judges whether the sequence is a
        // valid character (no stray continuation byte, overlong form or surrogate).
        const std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : 2;
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        const QString character = at + length <= path.size()
                ? decoder(QByteArrayView(path.data() + at, qsizetype(length)))
                : QString();
        if (character.isEmpty() || decoder.hasError()) {
            shown += escapedByte(lead);
            ++at;
        } else {
            shown += character;
            at += length;
        }
    }
    return shown;
}

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
    const std::vector<engine::failure> failures = countingEngine.failures(listed);
    if (!failures.empty()) {
        QList<QTreeWidgetItem *> items;
        items.reserve(qsizetype(failures.size()));
        for (const engine::failure &failure : failures) {
            const QString path = displayPath(failure.path);
            auto *item = new QTreeWidgetItem({ path, reasonText(failure.reason) });
            // The column may cut the path short.
            item->setToolTip(0, path);
            items.append(item);
        }
        list->addTopLevelItems(items);
        listed += failures.size();
        copyButton->setEnabled(true);
    }
    const std::uint64_t notKept = countingEngine.failures_not_kept();
    notKeptLabel->setText(tr("and %1 more").arg(notKept));
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
        text += item->text(0) + QStringLiteral(": ") + item->text(1) + QLatin1Char('\n');
    }
    if (notKeptLabel->isVisibleTo(this))
        text += notKeptLabel->text() + QLatin1Char('\n');
    QApplication::clipboard()->setText(text);
}
