#include "countedfilesdlg.h"

#include "countedfilesmodel.h"
#include "translations.h"

#include "engine/engine.h"
#include "present/failed_list.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

CCountedFilesDlg::CCountedFilesDlg(engine &countingEngine, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
    , countingEngine(countingEngine)
    , model(new CCountedFilesModel(this))
    , proxy(new QSortFilterProxyModel(this))
    , filter(new QLineEdit(this))
    , table(new QTableView(this))
    , notKeptLabel(new QLabel(this))
{
    setWindowTitle(tr("Counted Files"));

    proxy->setSourceModel(model);
    proxy->setSortRole(CCountedFilesModel::SortRole);
    proxy->setFilterKeyColumn(int(counted_column::file));
    proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    // Rows arrive while counting runs: a sorted view keeps them in place as they come.
    proxy->setDynamicSortFilter(true);

    filter->setPlaceholderText(QString::fromStdString(translatedWords(filter_words)));
    filter->setClearButtonEnabled(true);
    connect(filter, &QLineEdit::textChanged, proxy, &QSortFilterProxyModel::setFilterFixedString);

    table->setModel(proxy);
    table->setSortingEnabled(true);
    table->sortByColumn(-1, Qt::AscendingOrder); // counting order until a header is clicked
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setTextElideMode(Qt::ElideMiddle); // the end of a long path names the file
    table->verticalHeader()->hide();
    // One height for every row keeps a quarter of a million rows quick to lay out.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(int(counted_column::file), QHeaderView::Stretch);
    table->setWordWrap(false);

    notKeptLabel->hide();

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *copyButton = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
    QPushButton *saveButton = buttons->addButton(tr("&Save As..."), QDialogButtonBox::ActionRole);
    connect(copyButton, &QPushButton::clicked, this, &CCountedFilesDlg::copyRows);
    connect(saveButton, &QPushButton::clicked, this, &CCountedFilesDlg::saveAs);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(filter);
    layout->addWidget(table);
    layout->addWidget(notKeptLabel);
    layout->addWidget(buttons);

    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 90, metrics.height() * 24);
    for (const counted_column column : { counted_column::characters, counted_column::lines })
        table->setColumnWidth(int(column), metrics.horizontalAdvance(QLatin1String("0000000000000")));
}

void CCountedFilesDlg::refresh()
{
    model->refresh(countingEngine);
    const std::uint64_t notKept = countingEngine.counted_not_kept();
    notKeptLabel->setText(QString::fromStdString(not_kept_text(notKept, translatedWords(not_kept_words))));
    notKeptLabel->setVisible(notKept != 0);
}

void CCountedFilesDlg::clear()
{
    model->clear();
    notKeptLabel->hide();
}

std::vector<std::size_t> CCountedFilesDlg::shownRows(bool selectedOnly) const
{
    std::vector<std::size_t> rows;
    const QItemSelectionModel *selection = table->selectionModel();
    const bool selected = selectedOnly && selection->hasSelection();
    for (int row = 0; row < proxy->rowCount(); ++row) {
        const QModelIndex index = proxy->index(row, 0);
        if (!selected || selection->isRowSelected(row))
            rows.push_back(std::size_t(proxy->mapToSource(index).row()));
    }
    return rows;
}

void CCountedFilesDlg::copyRows()
{
    const std::vector<std::size_t> rows = shownRows(true);
    const std::vector<std::string> titles = model->titles();
    QApplication::clipboard()->setText(
            QString::fromStdString(table_text(model->files(), rows, table_form::tab_separated, titles)));
}

void CCountedFilesDlg::saveAs()
{
    const QString name = QFileDialog::getSaveFileName(this, tr("Save Counted Files"), QString(),
                                                      tr("CSV files (*.csv)"));
    if (name.isEmpty())
        return;
    const std::vector<std::size_t> rows = shownRows(false);
    const std::string text = table_text(model->files(), rows, table_form::csv, model->titles());
    // Written whole or not at all: a full disk leaves the old file as it was.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), qint64(text.size())) != qint64(text.size())
        || !file.commit())
        QMessageBox::warning(this, windowTitle(), tr("Cannot save %1: %2").arg(name, file.errorString()));
}
