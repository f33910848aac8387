#pragma once

#include <QDialog>

#include <cstddef>
#include <string>

class engine;
class QLabel;
class QPushButton;
class QTreeWidget;

// A path as a file manager shows it: decoded as UTF-8, with each byte that is no part of a
// valid character, and each control character (a newline), written visibly as \xNN.
QString displayPath(const std::string &path);

// The files that failed, each with its reason, in the order they failed, and how many more
// the engine counted without keeping them. Not modal; it follows the engine while shown.
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

    engine &countingEngine;
    QTreeWidget *list;
    QLabel *notKeptLabel;
    QPushButton *copyButton;
    // The engine's failures from this index on are not in the list yet.
    std::size_t listed = 0;
};
