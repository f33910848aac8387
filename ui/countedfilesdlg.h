#pragma once

#include <QDialog>

#include <cstddef>
#include <vector>

class CCountedFilesModel;
class engine;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

// Each counted file with its characters and lines, sortable by every column and narrowed by
// a filter on the name, and how many more the engine counted without keeping them. Not
// modal; it follows the engine while shown. "Copy" copies the selected rows (or all) as
// tab-separated text for a spreadsheet, "Save As..." writes them all as CSV.
class CCountedFilesDlg : public QDialog
{
    Q_OBJECT

public:
    CCountedFilesDlg(engine &countingEngine, QWidget *parent);

    // Adds the files counted since the last call; the main window's timer calls it.
    void refresh();
    // Empties the list, as the engine's reset empties its own.
    void clear();

    QTableView *view() const { return table; }

private:
    // The rows shown, in the order shown: the selected ones, or all when none is.
    std::vector<std::size_t> shownRows(bool selectedOnly) const;
    void copyRows();
    void saveAs();

    engine &countingEngine;
    CCountedFilesModel *model;
    QSortFilterProxyModel *proxy;
    QLineEdit *filter;
    QTableView *table;
    QLabel *notKeptLabel;
};
