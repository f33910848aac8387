#pragma once

#include "present/counted_list.h"

#include <QAbstractTableModel>

class engine;

// The counted files as a table of three columns (File, Characters, Lines) over
// present/counted_list.h, which takes only the files counted since the last refresh, so that
// a list of a quarter of a million files is never copied whole. Numbers show as plain
// digits; SortRole gives them as numbers, so that a sort orders them by value.
class CCountedFilesModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum { SortRole = Qt::UserRole };

    explicit CCountedFilesModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Appends the files the engine counted since the last call.
    void refresh(engine &countingEngine);
    // Empties the table, as the engine's reset empties its list.
    void clear();

    const counted_list &files() const { return list; }
    // The column titles, in the window's language.
    std::vector<std::string> titles() const;

private:
    counted_list list;
};
