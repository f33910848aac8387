#pragma once

#include "engine/engine.h"
#include "present/window_view.h"

#include <QBasicTimer>
#include <QDialog>
#include <QIcon>

#include <optional>
#include <span>
#include <string>

class CCountedFilesDlg;
class CFailedFilesDlg;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;

// Replaces the field's text, keeping the user's selection and cursor, which QLineEdit::setText
// would drop. The tooltip shows the whole text, which the field may clip.
void set_field_text(QLineEdit *field, const QString &text);

// The main window: takes dropped files, hands them to its engine, and shows the engine's
// totals and progress, polled on a timer.
class CPomvaneDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CPomvaneDlg(QWidget *parent = nullptr);
    ~CPomvaneDlg() override;

    // Queues the files for counting, in order, as one batch: every way in (drop, command
    // line, a later start, paste, Add Files) ends here. Folders are counted by their files
    // when walkFolders is set or the "Count Files in Folders" setting is on, leaving out
    // what Git ignores while "Skip Ignored Files" is on; their characters are UTF-8
    // characters while "Count Unicode Characters" is on (files handed over by a later start
    // included: the settings are this window's).
    void addFiles(std::span<const std::string> paths, bool walkFolders = false);

    // The files field's text: "12", or "12 (3 failed to open)" in the person's language.
    static QString filesText(const engine::snapshot &totals);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    void createMenu();
    void about();
    void refresh();
    void chooseFiles();
    void pasteFiles();
    void copyTotals();
    void showFailedFiles();
    void showCountedFiles();
    void resetCounting();
    void openMenuAtFocus();
    void showMenu(QMenu *menu, const QPoint &globalPos);
    void showHint(bool dragging);

    QLabel *hint;
    QProgressBar *fileBar;
    QLineEdit *linesField;
    QLineEdit *filesField;
    QLineEdit *charactersField;
    QProgressBar *filesBar;
    QMenu *systemMenu;
    QAction *pasteAction;
    QAction *failedFilesAction;
    QAction *countedFilesAction;
    QAction *walkFoldersAction;
    QAction *skipIgnoredAction;
    QAction *unicodeCharactersAction;
    CFailedFilesDlg *failedFilesDlg = nullptr;
    CCountedFilesDlg *countedFilesDlg = nullptr;
    QIcon icon;
    // What the window shows now: a refresh that finds the engine's view the same draws nothing.
    std::optional<window_view> shownView;
    // Files the window takes are being dragged over it.
    bool filesOver = false;
    QBasicTimer refreshTimer;
    // Last, so that it goes first: its worker is stopped and awaited before anything else.
    engine countingEngine;
};
