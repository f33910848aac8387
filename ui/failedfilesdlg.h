#pragma once

#include <QDialog>
#include <QList>

#include <cstddef>

class engine;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The files that failed, each with its reason, in the order they failed, and how many more
// the engine counted without keeping them: present/failed_list.h's rows, with names shown
// as present/shown_name.h writes them. Not modal; it follows the engine while shown.
class CFailedFilesDlg : public QDialog
{
    Q_OBJECT

public:
    CFailedFilesDlg(engine &countingEngine, QWidget *parent);

    // Adds the failures that happened since the last call; the main window's timer calls it.
    void refresh();
    // Empties the list, as the engine's reset empties its own.
    void clear();

private:
    void placeBeside(const QWidget *window);
    // The whole list as text, one `PATH: REASON` line a failure, as pomvane-count prints them.
    void copyList();
    void copySelectedRows();
    // Widens the reasons' column to the widest of the items' reasons.
    void fitReasons(const QList<QTreeWidgetItem *> &items);
    static QString rowLine(const QTreeWidgetItem *item);

    engine &countingEngine;
    QTreeWidget *list;
    QLabel *notKeptLabel;
    QPushButton *copyButton;
    // The engine's failures from this index on are not in the list yet.
    std::size_t listed = 0;
};
