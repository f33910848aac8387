#include "countedfilesdlg.h"
#include "dialogtemplate.h"
#include "failedfilesdlg.h"
#include "pomvanedlg.h"
#include "resource.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QScopeGuard>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Generous: the machine may be busy with other builds.
constexpr int settleMs = 30000;

QByteArray fileUri(const QByteArray &path)
{
    return "file://" + path.toPercentEncoding("/");
}

// Writes a file under a name given as raw bytes, which need not be UTF-8.
bool writeFile(const QByteArray &path, const QByteArray &contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, contents.constData(), contents.size()) == contents.size();
    return ::close(fd) == 0 && written;
}

class Window
{
public:
    Window()
    {
        dlg.show();
        files = field(IDC_FILES);
        characters = field(IDC_CHARACTERS);
        lines = field(IDC_LINES);
        fileBar = qobject_cast<QProgressBar *>(dialogItem(&dlg, IDC_FILE_PROGRESS));
        filesBar = qobject_cast<QProgressBar *>(dialogItem(&dlg, IDC_FILES_PROGRESS));
    }

    // Enters with the drag and drops it, as the window system does; true when taken as a copy.
    bool drop(const QByteArray &uriList, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMimeData mime;
        mime.setData("text/uri-list", uriList);
        return drop(&mime, Qt::CopyAction | Qt::MoveAction, modifiers);
    }

    bool drop(const QMimeData *mime, Qt::DropActions actions, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPoint pos(5, 5);
        QDragEnterEvent enter(pos, actions, mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(&dlg, &enter);
        // Taken as a copy even where the source proposes a move: a move lets it delete the files.
        if (!enter.isAccepted() || enter.dropAction() != Qt::CopyAction)
            return false;
        // Over a field, which hands it on to the window.
        QDragMoveEvent move(pos, actions, mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(files, &move);
        if (!move.isAccepted() || move.dropAction() != Qt::CopyAction)
            return false;
        QDropEvent drop(pos, actions, mime, Qt::LeftButton, modifiers);
        QApplication::sendEvent(&dlg, &drop);
        return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
    }

    // Triggers an entry of the window's menu by its text.
    void trigger(const QString &text)
    {
        QAction *entry = action(text);
        QVERIFY2(entry, qPrintable("no menu entry " + text));
        entry->trigger();
    }

    QAction *action(const QString &text)
    {
        for (QAction *action : dlg.actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    bool barsShown() const { return fileBar->isVisible() && filesBar->isVisible(); }
    bool barsHidden() const { return fileBar->isHidden() && filesBar->isHidden(); }

    CPomvaneDlg dlg;
    QLineEdit *files;
    QLineEdit *characters;
    QLineEdit *lines;
    QProgressBar *fileBar;
    QProgressBar *filesBar;

private:
    QLineEdit *field(int id) { return qobject_cast<QLineEdit *>(dialogItem(&dlg, id)); }
};

} // namespace

class CountingTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void dragsWithoutLocalFilesAreRefused_data();
    void dragsWithoutLocalFilesAreRefused();
    void droppedFilesAreCounted();
    void pastedAndChosenFilesAreCounted();
    void enterInAFieldClosesAndKeepsTheTotals();
    void barsShowWhileCountingAndResetClears();
    void selectionSurvivesChangingTotals();
    void tenThousandFilesInOneDrop();
    void closingWhileCountingEnds();
    // Last: it leaves the setting on.
    void failedFilesAreListedAndFoldersCountedWhenAsked();
    void countedFilesSortByNumberFilterByNameAndEmptyOnReset();

private:
    QByteArray hugeFile() const { return dir.filePath("huge").toUtf8(); }

    QTemporaryDir dir;
};

void CountingTest::initTestCase()
{
    QVERIFY(dir.isValid());
    // The window's settings go to a file of the test's own.
    QCoreApplication::setOrganizationName("Pomvane");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    // Sparse, so that it costs no disk, yet reading it takes long enough to watch.
    QFile huge(hugeFile());
    QVERIFY(huge.open(QIODevice::WriteOnly));
    QVERIFY(huge.resize(qint64(256) << 30));
}

void CountingTest::dragsWithoutLocalFilesAreRefused_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("actions");

    const QByteArray local = fileUri(hugeFile());
    QTest::newRow("text") << "text/plain" << local << int(Qt::CopyAction);
    QTest::newRow("web links") << "text/uri-list" << QByteArray("https://example.com/a\r\n") << int(Qt::CopyAction);
    QTest::newRow("another host") << "text/uri-list" << QByteArray("file://server/a\r\n") << int(Qt::CopyAction);
    QTest::newRow("empty list") << "text/uri-list" << QByteArray("") << int(Qt::CopyAction);
    QTest::newRow("move only") << "text/uri-list" << local << int(Qt::MoveAction);
}

void CountingTest::dragsWithoutLocalFilesAreRefused()
{
    QFETCH(QString, format);
    QFETCH(QByteArray, data);
    QFETCH(int, actions);
    Window window;
    QMimeData mime;
    mime.setData(format, data);
    QVERIFY(!window.drop(&mime, Qt::DropActions(actions)));
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "0", settleMs);
    QVERIFY(window.barsHidden());
}

void CountingTest::droppedFilesAreCounted()
{
    const QByteArray base = QFile::encodeName(dir.path()) + '/';
    const QByteArray spaced = base + "my notes, 100% done.txt";
    const QByteArray latin1 = base + "caf\xe9.txt"; // not UTF-8
    const QByteArray plain = base + "plain";
    QVERIFY(writeFile(spaced, "one\ntwo\nthree")); // 13 characters, 3 lines
    QVERIFY(writeFile(latin1, "\xe9t\xe9\r\n")); // 5, 1
    QVERIFY(writeFile(plain, "")); // 0, 0
    // QTemporaryDir cannot remove a name that is not UTF-8.
    const auto removeLatin1 = qScopeGuard([&latin1] { ::unlink(latin1.constData()); });
    QVERIFY(QDir(dir.path()).mkpath("folder"));

    Window window;
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "0", settleMs);
    const QByteArray list = "# a comment\r\n" + fileUri(spaced) + "\r\n" + fileUri(latin1) + "\r\n"
            + "https://example.com/index.html\r\n" + fileUri(base + "folder") + "\r\n"
            + fileUri(base + "missing") + "\r\n" + fileUri(plain) + "\r\n";
    QVERIFY(window.drop(list));
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "3 (2 failed to open)", settleMs);
    QTRY_VERIFY_WITH_TIMEOUT(window.barsHidden(), settleMs);
    QCOMPARE(window.characters->text(), "18");
    QCOMPARE(window.lines->text(), "4");
    // The field may clip its text; the tooltip has all of it.
    QCOMPARE(window.files->toolTip(), "3 (2 failed to open)");
    window.trigger("Copy &Totals");
    QCOMPARE(QApplication::clipboard()->text(), "files=3 failed=2 characters=18 lines=4");

    // Totals add up across drops until Reset. Shift proposes a move; it is taken as a copy.
    QVERIFY(window.drop(fileUri(spaced) + "\r\n", Qt::ShiftModifier));
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "4 (2 failed to open)", settleMs);
    QCOMPARE(window.characters->text(), "31");
    QCOMPARE(window.lines->text(), "7");

    qobject_cast<QPushButton *>(dialogItem(&window.dlg, IDC_RESET))->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "0", settleMs);
    QCOMPARE(window.characters->text(), "0");
    QCOMPARE(window.lines->text(), "0");
}

void CountingTest::pastedAndChosenFilesAreCounted()
{
    const QByteArray a = dir.filePath("paste-a").toUtf8();
    const QByteArray b = dir.filePath("paste-b").toUtf8();
    QVERIFY(writeFile(a, "1\n")); // 2 characters, 1 line
    QVERIFY(writeFile(b, "22\n22\n")); // 6, 2
    Window window;
    QVERIFY(QTest::qWaitForWindowActive(&window.dlg));
    window.lines->setFocus();

    // Text that is no list of files adds nothing.
    QApplication::clipboard()->setText(QString::fromUtf8(fileUri(a)));
    QTest::keyClick(window.lines, Qt::Key_V, Qt::ControlModifier);
    // The file managers' own form; "cut" too only reads the files.
    auto *copied = new QMimeData;
    copied->setData("x-special/gnome-copied-files", "cut\n" + fileUri(b) + "\n" + fileUri(a));
    QApplication::clipboard()->setMimeData(copied);
    QTest::keyClick(window.lines, Qt::Key_V, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "2", settleMs);
    QCOMPARE(window.characters->text(), "8");
    auto *list = new QMimeData;
    list->setData("text/uri-list", fileUri(a) + "\r\n");
    QApplication::clipboard()->setMimeData(list);
    window.trigger("&Paste Files");
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "3", settleMs);
    QCOMPARE(window.lines->text(), "4");

    // Ctrl+O: the chosen files are added, and Enter that takes them leaves the window open.
    // Watches for the chooser, which opens in a loop of its own, with the focus in its name field.
    QTimer watch;
    connect(&watch, &QTimer::timeout, &window.dlg, [&] {
        auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        auto *name = chooser ? qobject_cast<QLineEdit *>(chooser->focusWidget()) : nullptr;
        if (!name || !chooser->isVisible())
            return;
        watch.stop();
        name->setText("\"paste-b\" \"paste-a\"");
        QTest::keyClick(name, Qt::Key_Return);
    });
    watch.start(10);
    // The chooser opens in the current folder.
    const QString folder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QTest::keyClick(window.lines, Qt::Key_O, Qt::ControlModifier);
    QDir::setCurrent(folder);
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "5", settleMs);
    QCOMPARE(window.characters->text(), "18");
    QVERIFY(window.dlg.isVisible());
}

// Enter in a field is the dialog's OK, Close here; it must not press Reset, the first button.
// (Enter on a focused button presses that button: barsShowWhileCountingAndResetClears.)
void CountingTest::enterInAFieldClosesAndKeepsTheTotals()
{
    const QByteArray small = dir.filePath("enter").toUtf8();
    QVERIFY(writeFile(small, "a\n"));
    Window window;
    QVERIFY(window.drop(fileUri(small) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "1", settleMs);
    QTimer::singleShot(0, &window.dlg, [&window] {
        window.lines->setFocus();
        QTest::keyClick(window.lines, Qt::Key_Enter);
    });
    QCOMPARE(window.dlg.exec(), int(QDialog::Accepted));
    QCOMPARE(window.files->text(), "1");
}

void CountingTest::barsShowWhileCountingAndResetClears()
{
    const QByteArray small = dir.filePath("small").toUtf8();
    QVERIFY(writeFile(small, "a\nb\n"));
    Window window;
    QVERIFY(window.drop(fileUri(hugeFile()) + "\r\n" + fileUri(small) + "\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(window.barsShown(), settleMs);
    QCOMPARE(window.filesBar->value(), 0); // neither file done
    QVERIFY(window.fileBar->value() >= 0 && window.fileBar->value() <= 100);
    QCOMPARE(window.files->text(), "0");

    // Enter on the focused Reset button presses it, and leaves the window open.
    auto *reset = qobject_cast<QPushButton *>(dialogItem(&window.dlg, IDC_RESET));
    reset->setFocus();
    QTest::keyClick(reset, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(window.barsHidden(), settleMs);
    QVERIFY(window.dlg.isVisible());
    QCOMPARE(window.files->text(), "0");
    QCOMPARE(window.characters->text(), "0");
    QVERIFY(window.dlg.windowFlags() & Qt::WindowStaysOnTopHint);

    // After Reset the next drop starts afresh.
    QVERIFY(window.drop(fileUri(small) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(window.lines->text(), "2", settleMs);
    QCOMPARE(window.files->text(), "1");
}

void CountingTest::selectionSurvivesChangingTotals()
{
    const QByteArray many = dir.filePath("many").toUtf8();
    QVERIFY(writeFile(many, QByteArray(123456, '\n')));
    Window window;
    QVERIFY(window.drop(fileUri(many) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(window.lines->text(), "123456", settleMs);

    window.lines->setSelection(1, 3);
    QVERIFY(window.drop(fileUri(many) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(window.lines->text(), "246912", settleMs);
    QCOMPARE(window.lines->selectionStart(), 1);
    QCOMPARE(window.lines->selectedText(), "469");
    // And across refreshes that change nothing.
    QTest::qWait(3 * REFRESH_PERIOD_MS);
    QCOMPARE(window.lines->selectedText(), "469");
}

void CountingTest::tenThousandFilesInOneDrop()
{
    // One past the bound of the failures kept.
    QByteArray list;
    for (int i = 0; i < 10001; ++i)
        list += fileUri(QFile::encodeName(dir.filePath(QStringLiteral("absent-%1").arg(i)))) + "\r\n";
    Window window;
    QVERIFY(window.drop(list));
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "0 (10001 failed to open)", settleMs);
    window.trigger("Fai&led Files...");
    auto *failedDlg = window.dlg.findChild<CFailedFilesDlg *>();
    QCOMPARE(failedDlg->findChild<QTreeWidget *>()->topLevelItemCount(), 10000);
    QLabel *more = failedDlg->findChild<QLabel *>();
    QVERIFY(more->isVisible());
    QCOMPARE(more->text(), "and 1 more");
}

void CountingTest::closingWhileCountingEnds()
{
    auto *window = new Window;
    QVERIFY(window->drop(fileUri(hugeFile()) + "\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(window->barsShown(), settleMs);
    QTimer::singleShot(0, &window->dlg, [window] {
        QTest::keyClick(&window->dlg, Qt::Key_Escape);
    });
    QCOMPARE(window->dlg.exec(), int(QDialog::Rejected));
    // Destroying the window stops the worker in the middle of the file and waits for it.
    delete window;
}

void CountingTest::failedFilesAreListedAndFoldersCountedWhenAsked()
{
    const QByteArray folder = QFile::encodeName(dir.filePath("tree"));
    QVERIFY(QDir(dir.path()).mkpath("tree/inner"));
    QVERIFY(writeFile(folder + "/a", "1\n")); // 2 characters, 1 line
    QVERIFY(writeFile(folder + "/inner/b", "22\n22\n")); // 6, 2
    // UTF-8, then a byte that is not.
    const QByteArray missing = QFile::encodeName(dir.filePath("gon\u00e9")) + "\xe9";

    Window window;
    // The hint shows until anything is counted, and lights up while files are over the window.
    auto *hint = qobject_cast<QLabel *>(dialogItem(&window.dlg, IDC_HINT));
    QCOMPARE(hint->text(), "Drop files here. Right-click for more.");
    QVERIFY(hint->isVisible());
    QMimeData offered;
    offered.setData("text/uri-list", fileUri(missing) + "\r\n");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &offered, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window.dlg, &enter);
    QCOMPARE(hint->backgroundRole(), QPalette::Highlight);
    QDragLeaveEvent leave;
    QApplication::sendEvent(&window.dlg, &leave);
    QCOMPARE(hint->backgroundRole(), QPalette::Window);
    QVERIFY(hint->isVisible());

    QAction *failedFiles = window.action("Fai&led Files...");
    QVERIFY(!failedFiles->isEnabled());
    QVERIFY(window.drop(fileUri(missing) + "\r\n"));
    QTRY_VERIFY_WITH_TIMEOUT(failedFiles->isEnabled(), settleMs);
    QVERIFY(hint->isHidden());
    QCOMPARE(hint->backgroundRole(), QPalette::Window);
    QTest::mouseDClick(window.files, Qt::LeftButton);
    auto *failedDlg = window.dlg.findChild<CFailedFilesDlg *>();
    QVERIFY(failedDlg && failedDlg->isVisible());
    auto *list = failedDlg->findChild<QTreeWidget *>();
    QCOMPARE(list->topLevelItemCount(), 1);

    // Without the setting a folder fails; the open list takes it in as it happens.
    QVERIFY(window.drop(fileUri(folder) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(list->topLevelItemCount(), 2, settleMs);
    QApplication::clipboard()->clear();
    for (QPushButton *button : failedDlg->findChildren<QPushButton *>()) {
        if (button->text() == "&Copy")
            button->click();
    }
    const QString folderLine = dir.filePath("tree") + ": is a folder; turn on Count Files in Folders";
    QCOMPARE(QApplication::clipboard()->text(),
             dir.filePath("gon\u00e9") + "\\xE9: No such file or directory\n" + folderLine + "\n");

    // With the scroll bar a long list shows, the reasons are whole and in view; a row's
    // tooltip has all of it, and Ctrl+C copies the rows selected.
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QTest::qWait(0);
    const QModelIndex folderReason = list->model()->index(1, 1);
    QVERIFY(list->visualRect(folderReason).width()
            > list->fontMetrics().horizontalAdvance(folderReason.data().toString()));
    QVERIFY(list->viewport()->rect().contains(list->visualRect(folderReason)));
    QCOMPARE(list->model()->index(1, 0).data(Qt::ToolTipRole).toString(), folderLine);
    list->setFocus();
    list->setCurrentIndex(folderReason);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), folderLine + "\n");

    qobject_cast<QPushButton *>(dialogItem(&window.dlg, IDC_RESET))->click();
    QCOMPARE(list->topLevelItemCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!failedFiles->isEnabled(), settleMs);
    QVERIFY(hint->isVisible());

    // With the setting on, a folder counts its files; the next window remembers the setting.
    window.trigger("Count Files in F&olders");
    QVERIFY(window.drop(fileUri(folder) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "2", settleMs);
    QCOMPARE(window.characters->text(), "8");
    QCOMPARE(list->topLevelItemCount(), 0);
    Window next;
    QVERIFY(next.action("Count Files in F&olders")->isChecked());
}

void CountingTest::countedFilesSortByNumberFilterByNameAndEmptyOnReset()
{
    // Lines that sort apart as numbers and as text ("10" < "2"); names that sort apart too.
    const QByteArray a10 = QFile::encodeName(dir.filePath("a10")), b2 = QFile::encodeName(dir.filePath("b2")),
                     b9 = QFile::encodeName(dir.filePath("B9"));
    QVERIFY(writeFile(a10, QByteArray("x\n").repeated(10)));
    QVERIFY(writeFile(b2, "x\ny"));
    QVERIFY(writeFile(b9, QByteArray("x\n").repeated(9)));

    Window window;
    QVERIFY(window.drop(fileUri(b9) + "\r\n" + fileUri(a10) + "\r\n" + fileUri(b2) + "\r\n"));
    QTRY_COMPARE_WITH_TIMEOUT(window.files->text(), "3", settleMs);
    QTest::mouseDClick(window.lines, Qt::LeftButton);
    auto *countedDlg = window.dlg.findChild<CCountedFilesDlg *>();
    QVERIFY(countedDlg && countedDlg->isVisible());
    QTableView *table = countedDlg->view();
    const auto column = [table](int col) {
        QStringList cells;
        for (int row = 0; row < table->model()->rowCount(); ++row)
            cells << table->model()->index(row, col).data().toString();
        return cells;
    };
    QCOMPARE(column(2), QStringList({ "9", "10", "2" })); // counting order at first
    table->sortByColumn(2, Qt::AscendingOrder);
    QCOMPARE(column(2), QStringList({ "2", "9", "10" }));
    QCOMPARE(column(1), QStringList({ "3", "18", "20" }));
    table->sortByColumn(1, Qt::DescendingOrder);
    QCOMPARE(column(1), QStringList({ "20", "18", "3" }));

    countedDlg->findChild<QLineEdit *>()->setText("/b"); // either case
    QCOMPARE(column(0), QStringList({ dir.filePath("B9"), dir.filePath("b2") }));
    // Copy takes what is shown, in the order shown, under a header.
    QApplication::clipboard()->clear();
    for (QPushButton *button : countedDlg->findChildren<QPushButton *>()) {
        if (button->text() == "&Copy")
            button->click();
    }
    QCOMPARE(QApplication::clipboard()->text(),
             "File\tCharacters\tLines\r\n" + dir.filePath("B9") + "\t18\t9\r\n" + dir.filePath("b2") + "\t3\t2\r\n");

    qobject_cast<QPushButton *>(dialogItem(&window.dlg, IDC_RESET))->click();
    QCOMPARE(table->model()->rowCount(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!window.action("Cou&nted Files...")->isEnabled(), settleMs);
}

QTEST_MAIN(CountingTest)
#include "ui_counting_test.moc"
