#include "pomvanedlg.h"

#include "aboutdlg.h"
#include "appicon.h"
#include "countedfilesdlg.h"
#include "dialogtemplate.h"
#include "failedfilesdlg.h"
#include "resource.h"
#include "translations.h"
#include "urilist.h"

#include "present/totals_text.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimerEvent>

#include <algorithm>
#include <limits>

namespace {

// Kept in the same settings file as the window's other settings.
const QString walkFoldersKey = QStringLiteral("countFilesInFolders");
const QString skipIgnoredKey = QStringLiteral("skipIgnoredFiles");
const QString unicodeCharactersKey = QStringLiteral("countUnicodeCharacters");

// Accepting the source's proposed action could be a move, after which the file manager
// deletes the files it dropped; the files are only read, so a drop is always a copy.
bool offersLocalFiles(const QDropEvent *event)
{
    return (event->possibleActions() & Qt::CopyAction) && offersFilePaths(event->mimeData());
}

} // namespace

void set_field_text(QLineEdit *field, const QString &text)
{
    if (field->text() == text)
        return;
    const int cursor = field->cursorPosition();
    const int start = field->selectionStart();
    // The end of the selection away from the cursor, so that its direction survives too.
    const int anchor = start < 0 ? cursor : (start == cursor ? field->selectionEnd() : start);
    field->setText(text);
    field->setToolTip(text);
    const int length = int(text.size());
    const int newCursor = std::min(cursor, length);
    const int newAnchor = std::min(anchor, length);
    if (newAnchor != newCursor)
        field->setSelection(newAnchor, newCursor - newAnchor);
    else
        field->setCursorPosition(newCursor);
}

CPomvaneDlg::CPomvaneDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                      | Qt::WindowStaysOnTopHint)
    , systemMenu(new QMenu(this))
    , pasteAction(nullptr)
    , failedFilesAction(nullptr)
    , countedFilesAction(nullptr)
    , walkFoldersAction(nullptr)
    , skipIgnoredAction(nullptr)
    , unicodeCharactersAction(nullptr)
    , icon(applicationIcon())
{
    const QHash<int, QWidget *> items = buildDialog(this, mainDialogTemplate);
    hint = qobject_cast<QLabel *>(items.value(IDC_HINT));
    hint->setText(QString::fromStdString(translatedWords(hint_words)));
    hint->setAlignment(Qt::AlignCenter);
    hint->setWordWrap(true);
    showHint(false);    fileBar = qobject_cast<QProgressBar *>(items.value(IDC_FILE_PROGRESS));
    linesField = qobject_cast<QLineEdit *>(items.value(IDC_LINES));
    filesField = qobject_cast<QLineEdit *>(items.value(IDC_FILES));
    charactersField = qobject_cast<QLineEdit *>(items.value(IDC_CHARACTERS));
    filesBar = qobject_cast<QProgressBar *>(items.value(IDC_FILES_PROGRESS));

    connect(qobject_cast<QPushButton *>(items.value(IDC_RESET)), &QPushButton::clicked, this,
            &CPomvaneDlg::resetCounting);
    // Enter in a field closes, as a dialog's OK does; Enter on a focused button presses that
    // button. Left alone, Qt would make the first button, Reset, the default.
    auto *closeButton = qobject_cast<QPushButton *>(items.value(IDOK));
    closeButton->setDefault(true);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    setAcceptDrops(true);
    createMenu();
    for (QLineEdit *field : { linesField, filesField, charactersField })
        field->installEventFilter(this);
    setWindowIcon(icon);
    linesField->setFocus();

    refreshTimer.start(REFRESH_PERIOD_MS, this);
}

CPomvaneDlg::~CPomvaneDlg()
{
    refreshTimer.stop();
}

// Linux window managers offer no system menu to extend: the window's context menu stands in
// for it, with the other ways to add files. The actions belong to the window too, so that
// their keys work wherever the focus is.
void CPomvaneDlg::createMenu()
{
    QAction *add = systemMenu->addAction(tr("Add &Files..."), this, &CPomvaneDlg::chooseFiles);
    add->setShortcuts(QKeySequence::Open);
    pasteAction = systemMenu->addAction(tr("&Paste Files"), this, &CPomvaneDlg::pasteFiles);
    pasteAction->setShortcuts(QKeySequence::Paste);
    systemMenu->addAction(tr("Copy &Totals"), this, &CPomvaneDlg::copyTotals);
    failedFilesAction = systemMenu->addAction(tr("Fai&led Files..."), this, &CPomvaneDlg::showFailedFiles);
    failedFilesAction->setEnabled(false);
    countedFilesAction = systemMenu->addAction(tr("Cou&nted Files..."), this, &CPomvaneDlg::showCountedFiles);
    countedFilesAction->setEnabled(false);
    systemMenu->addSeparator();
    walkFoldersAction = systemMenu->addAction(tr("Count Files in F&olders"));
    walkFoldersAction->setCheckable(true);
    walkFoldersAction->setChecked(QSettings().value(walkFoldersKey, false).toBool());
    connect(walkFoldersAction, &QAction::toggled, this,
            [](bool checked) { QSettings().setValue(walkFoldersKey, checked); });
    skipIgnoredAction = systemMenu->addAction(tr("Skip &Ignored Files"));
    skipIgnoredAction->setCheckable(true);
    skipIgnoredAction->setChecked(QSettings().value(skipIgnoredKey, true).toBool());
    connect(skipIgnoredAction, &QAction::toggled, this,
            [](bool checked) { QSettings().setValue(skipIgnoredKey, checked); });
    // Checked, the characters of the files queued from then on are UTF-8 characters.
    unicodeCharactersAction = systemMenu->addAction(tr("Count &Unicode Characters"));
    unicodeCharactersAction->setCheckable(true);
    unicodeCharactersAction->setChecked(QSettings().value(unicodeCharactersKey, false).toBool());
    connect(unicodeCharactersAction, &QAction::toggled, this,
            [](bool checked) { QSettings().setValue(unicodeCharactersKey, checked); });
    addActions(systemMenu->actions());
    // Whether the clipboard holds files is asked when a menu opens: asking on every change
    // would make the window talk to each program that copies anything.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, pasteAction,
            [this] { pasteAction->setEnabled(true); });

    // Windows opens the context menu on Shift+F10 as well as on the Menu key.
    auto *menuKey = new QAction(this);
    menuKey->setShortcut(Qt::SHIFT | Qt::Key_F10);
    connect(menuKey, &QAction::triggered, this, &CPomvaneDlg::openMenuAtFocus);
    addAction(menuKey);

    systemMenu->addSeparator();
    systemMenu->addAction(tr(ABOUTBOX_TEXT), this, &CPomvaneDlg::about);
}

void CPomvaneDlg::about()
{
    CAboutDlg aboutBox(this);
    aboutBox.exec();
}

void CPomvaneDlg::contextMenuEvent(QContextMenuEvent *event)
{
    showMenu(systemMenu, event->globalPos());
}

void CPomvaneDlg::showMenu(QMenu *menu, const QPoint &globalPos)
{
    pasteAction->setEnabled(offersFilePaths(QApplication::clipboard()->mimeData()));
    menu->exec(globalPos);
}

// Where the Menu key opens it: at the focused widget's text cursor, or its middle.
void CPomvaneDlg::openMenuAtFocus()
{
    QWidget *target = focusWidget() ? focusWidget() : this;
    const QPoint pos = target->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &event);
}

void CPomvaneDlg::addFiles(std::span<const std::string> paths, bool walkFolders)
{
    if (!paths.empty())
        countingEngine.add_files(paths, walkFolders || walkFoldersAction->isChecked(),
                                 skipIgnoredAction->isChecked(), unicodeCharactersAction->isChecked());
}

void CPomvaneDlg::resetCounting()
{
    countingEngine.reset();
    if (failedFilesDlg)
        failedFilesDlg->clear();
    if (countedFilesDlg)
        countedFilesDlg->clear();
}

// One window, kept once made, as the failed files'.
void CPomvaneDlg::showCountedFiles()
{
    if (!countedFilesDlg)
        countedFilesDlg = new CCountedFilesDlg(countingEngine, this);
    countedFilesDlg->refresh();
    countedFilesDlg->show();
    countedFilesDlg->raise();
    countedFilesDlg->activateWindow();
}

// One window, kept once made: it follows the counting while shown.
void CPomvaneDlg::showFailedFiles()
{
    if (!failedFilesDlg)
        failedFilesDlg = new CFailedFilesDlg(countingEngine, this);
    failedFilesDlg->refresh();
    failedFilesDlg->show();
    failedFilesDlg->raise();
    failedFilesDlg->activateWindow();
}

void CPomvaneDlg::chooseFiles()
{
    // The platform's own dialog where it has one. Its names come as text; names that are not
    // valid in the locale's encoding cannot come through it whole.
    const QStringList names = QFileDialog::getOpenFileNames(this, tr("Add Files"));
    std::vector<std::string> paths;
    for (const QString &name : names) {
        const QByteArray path = QFile::encodeName(name);
        paths.emplace_back(path.constData(), path.size());
    }
    addFiles(paths);
}

void CPomvaneDlg::pasteFiles()
{
    addFiles(offeredFilePaths(QApplication::clipboard()->mimeData()));
}

void CPomvaneDlg::copyTotals()
{
    const engine::snapshot totals = countingEngine.totals();
    QApplication::clipboard()->setText(QString::fromStdString(totals_line(totals)));
}

// The fields bring their own menu (Copy, Select All); the window's own entries are added to
// it, so that they are also reached from the keyboard while a field has the focus. A
// double-click on the files field opens the failed files, once there are any, and one on
// the characters or lines field the counted files, once there are any.
bool CPomvaneDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == filesField && event->type() == QEvent::MouseButtonDblClick && failedFilesAction->isEnabled()) {
        showFailedFiles();
        return true;
    }
    if ((watched == charactersField || watched == linesField) && event->type() == QEvent::MouseButtonDblClick
        && countedFilesAction->isEnabled()) {
        showCountedFiles();
        return true;
    }
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (field && event->type() == QEvent::ContextMenu) {
        QMenu *menu = field->createStandardContextMenu();
        menu->addSeparator();
        menu->addActions(systemMenu->actions());
        showMenu(menu, static_cast<QContextMenuEvent *>(event)->globalPos());
        delete menu;
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CPomvaneDlg::dragEnterEvent(QDragEnterEvent *event)
{
    if (offersLocalFiles(event)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        showHint(true);
    } else {
        event->ignore();
    }
}

// The band lights up while files that the window takes are over it.
void CPomvaneDlg::showHint(bool dragging)
{
    filesOver = dragging;
    hint->setVisible(dragging || !shownView || shownView->hint_shown());
    hint->setAutoFillBackground(dragging);
    hint->setBackgroundRole(dragging ? QPalette::Highlight : QPalette::Window);
    hint->setForegroundRole(dragging ? QPalette::HighlightedText : QPalette::PlaceholderText);
}

void CPomvaneDlg::dragLeaveEvent(QDragLeaveEvent *event)
{
    showHint(false);
    QDialog::dragLeaveEvent(event);
}

void CPomvaneDlg::dragMoveEvent(QDragMoveEvent *event)
{
    // Qt sends moves only to the widget that took the drag on entering, where the list was
    // checked: a 10,000-file list is not parsed again for each move.
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void CPomvaneDlg::dropEvent(QDropEvent *event)
{
    showHint(false);
    if (!(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return;
    }
    const std::vector<std::string> paths = offeredFilePaths(event->mimeData());
    if (paths.empty()) {
        event->ignore();
        return;
    }
    addFiles(paths);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CPomvaneDlg::timerEvent(QTimerEvent *event)
{
    refresh();
    QDialog::timerEvent(event);
}

// The files field in the person's language: the same numbers, the words translated. The
// failed count also picks the grammatical number where a language needs it.
QString CPomvaneDlg::filesText(const engine::snapshot &totals)
{
    const int form = int(std::min<std::uint64_t>(totals.files_failed, std::numeric_limits<int>::max()));
    return QString::fromStdString(files_text(totals, translatedWords(files_failed_words, form)));
}

void CPomvaneDlg::refresh()
{
    const window_view view = look_at(countingEngine);
    if (view == shownView)
        return;
    shownView = view;
    showHint(filesOver);
    filesBar->setVisible(view.counting);
    fileBar->setVisible(view.counting);
    filesBar->setValue(int(view.files_percent));
    fileBar->setValue(int(view.file_percent));
    failedFilesAction->setEnabled(view.failed_files_enabled());
    if (failedFilesDlg && failedFilesDlg->isVisible())
        failedFilesDlg->refresh();
    countedFilesAction->setEnabled(view.counted_files_enabled());
    if (countedFilesDlg && countedFilesDlg->isVisible())
        countedFilesDlg->refresh();
    set_field_text(linesField, QString::fromStdString(view.lines_text()));
    set_field_text(filesField, filesText(view.totals));
    set_field_text(charactersField, QString::fromStdString(view.characters_text()));
}
