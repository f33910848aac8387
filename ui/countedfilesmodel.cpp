#include "countedfilesmodel.h"

#include "translations.h"

#include "present/totals_text.h"

CCountedFilesModel::CCountedFilesModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int CCountedFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(list.size());
}

int CCountedFilesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant CCountedFilesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != SortRole
                             && role != Qt::TextAlignmentRole))
        return {};
    const auto row = std::size_t(index.row());
    switch (counted_column(index.column())) {
    case counted_column::file:
        // The column may cut a long path short: the tooltip shows it whole.
        if (role == Qt::TextAlignmentRole)
            return {};
        return QString::fromStdString(list.name(row));
    case counted_column::characters:
    case counted_column::lines: {
        const std::uint64_t value = counted_column(index.column()) == counted_column::characters
                ? list.characters(row) : list.lines(row);
        if (role == SortRole)
            return QVariant::fromValue<qulonglong>(value);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QString::fromStdString(decimal_text(value));
    }
    }
    return {};
}

QVariant CCountedFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromStdString(titles()[std::size_t(section)]);
}

std::vector<std::string> CCountedFilesModel::titles() const
{
    return { translatedWords(file_column_words), translatedWords(characters_column_words),
             translatedWords(lines_column_words) };
}

void CCountedFilesModel::refresh(engine &countingEngine)
{
    // Taken aside first: the views must hear of the rows before the model holds them.
    file_counts incoming;
    countingEngine.counted_files(list.size(), incoming);
    if (incoming.empty())
        return;
    beginInsertRows(QModelIndex(), int(list.size()), int(list.size() + incoming.size() - 1));
    list.append(incoming);
    endInsertRows();
}

void CCountedFilesModel::clear()
{
    beginResetModel();
    list.clear();
    endResetModel();
}
