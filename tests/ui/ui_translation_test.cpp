#include "aboutdlg.h"
#include "dialogtemplate.h"
#include "failedfilesdlg.h"
#include "fieldroom.h"
#include "menuletters.h"
#include "pomvanedlg.h"
#include "resource.h"
#include "translations.h"

#include "present/failure_text.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cerrno>

// The window in the person's language, as LANGUAGE chooses it: run once with LANGUAGE=de and
// once with LANGUAGE=fr, against the catalogues the build made.

namespace {

struct Expected
{
    QStringList labels;  // the main window's labels, then its buttons, in item order
    QStringList menu;    // the window's context menu
    QString fieldCopy;   // Qt's own Copy entry of a field's menu
    QString failedOne;   // the files field with 7 counted and 1 failed
    QString failedMany;  // ... and 4294967296 failed
    QString aboutTitle;
    QString aboutVersion;
    QStringList failedWindow; // the failed files window's title, columns and buttons
    QString folderReason;     // its reason for a folder dropped
    QString readErrorStart;   // a read error's reason after 12 bytes, before the system's message
};

const QHash<QString, Expected> expectedByLanguage = {
    { "de",
      { { "Dateien:", "Zeichen:", "Zeilen:", "Dateien hier ablegen. Rechtsklick für mehr.", "Zurücksetzen",
          "Schließen" },
        { "&Dateien hinzufügen...", "Dateien &einfügen", "&Summen kopieren", "&Nicht lesbare Dateien...", "&Gezählte Dateien...", "-",
          "Dateien in &Ordnern zählen", "&Ignorierte Dateien überspringen", "&Unicode-Zeichen zählen", "-",
          "Ü&ber Pomvane..." },
        "&Kopieren",
        "7 (1 nicht lesbar)",
        "7 (4294967296 nicht lesbar)",
        "Über Pomvane",
        "Pomvane Version " POMVANE_RELEASE,
        { "Nicht lesbare Dateien", "Datei", "Grund", "Schließen", "&Kopieren" },
        "ist ein Ordner; „Dateien in Ordnern zählen“ einschalten",
        "Lesefehler nach 12 Bytes: " } },
    { "fr",
      { { "Fichiers\u00a0:", "Caractères\u00a0:", "Lignes\u00a0:", "Déposez des fichiers ici. Clic droit pour plus.",
          "Réinitialiser", "Fermer" },
        { "&Ajouter des fichiers...", "Co&ller des fichiers", "Copier les &totaux", "&Fichiers illisibles...", "Fichiers co&mptés...", "-",
          "Compter les fichiers des d&ossiers", "&Sauter les fichiers ignorés", "Compter les caractères &Unicode",
          "-", "À &propos de Pomvane..." },
        "Cop&ier",
        "7 (1 illisible)",
        "7 (4294967296 illisibles)",
        "À propos de Pomvane",
        "Pomvane version " POMVANE_RELEASE,
        { "Fichiers illisibles", "Fichier", "Raison", "Fermer", "&Copier" },
        "est un dossier\u00a0; activez «\u00a0Compter les fichiers des dossiers\u00a0»",
        "erreur de lecture après 12\u00a0octets\u00a0: " } },
};

// The entries of the context menu that target opens.
QStringList menuAt(QWidget *target)
{
    QStringList entries;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, target, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (const QAction *action : menu->actions())
                entries.append(action->isSeparator() ? "-" : action->text());
            menu->close();
        }
    });
    watch.start(10);
    const QPoint pos(2, 2);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, pos, target->mapToGlobal(pos));
    QApplication::sendEvent(target, &event);
    return entries;
}

} // namespace

class TranslationTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void englishFirstStaysEnglish();
    void mainWindowSpeaksTheLanguage();
    void aboutBoxSpeaksTheLanguage();
    void failedFilesWindowSpeaksTheLanguage();

private:
    Expected expected;
};

void TranslationTest::initTestCase()
{
    const QString language = installTranslations(qApp, POMVANE_TRANSLATIONS_BUILD_DIR).section('_', 0, 0);
    QVERIFY2(expectedByLanguage.contains(language),
             qPrintable("LANGUAGE=" + qEnvironmentVariable("LANGUAGE") + " installed '" + language + "'"));
    expected = expectedByLanguage.value(language);
}

// English has no catalogue of its own; it must not be passed over for the next language.
void TranslationTest::englishFirstStaysEnglish()
{
    QCoreApplication *app = QCoreApplication::instance();
    QCOMPARE(installTranslations(app, POMVANE_TRANSLATIONS_BUILD_DIR, { "en-GB", "en", "de", "fr" }), QString());
    QCOMPARE(installTranslations(app, POMVANE_TRANSLATIONS_BUILD_DIR, { "C" }), QString());
}

void TranslationTest::mainWindowSpeaksTheLanguage()
{
    QApplication::clipboard()->clear();
    CPomvaneDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.windowTitle(), "Pomvane");

    QStringList texts;
    for (QWidget *child : dlg.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        QString text;
        if (auto *label = qobject_cast<QLabel *>(child))
            text = label->text();
        else if (auto *button = qobject_cast<QPushButton *>(child))
            text = button->text();
        else
            continue;
        texts.append(text);
        // Longer words must still fit the places the English ones were laid out for; the
        // hint, over its two lines.
        auto *label = qobject_cast<QLabel *>(child);
        if (label && label->wordWrap())
            QVERIFY2(label->heightForWidth(label->width()) <= label->height(), qPrintable(text));
        else
            QVERIFY2(child->fontMetrics().horizontalAdvance(text) <= child->contentsRect().width(), qPrintable(text));
    }
    QCOMPARE(texts, expected.labels);

    // Digits stay plain in every language; only the words change, and their number with the count.
    QCOMPARE(CPomvaneDlg::filesText({ 7, 0, 0, 0 }), "7");
    QCOMPARE(CPomvaneDlg::filesText({ 7, 1, 0, 0 }), expected.failedOne);
    QCOMPARE(CPomvaneDlg::filesText({ 7, std::uint64_t{ 1 } << 32, 0, 0 }), expected.failedMany);
    // The widest files text the English window shows whole fits in every language too.
    auto *filesField = qobject_cast<QLineEdit *>(dialogItem(&dlg, IDC_FILES));
    const QString widest = CPomvaneDlg::filesText({ 99999, 9999, 0, 0 });
    QVERIFY2(filesField->fontMetrics().horizontalAdvance(widest) <= fieldRoom(filesField), qPrintable(widest));

    QCOMPARE(menuAt(&dlg), expected.menu);
    // A field's menu: Qt's own entries in the same language, then the window's, each entry
    // still picked by a letter of its own.
    const QStringList fieldMenu = menuAt(dialogItem(&dlg, IDC_LINES));
    QVERIFY2(fieldMenu.size() > expected.menu.size(), qPrintable(fieldMenu.join('|')));
    QCOMPARE(fieldMenu.first().section(QLatin1Char('\t'), 0, 0), expected.fieldCopy);
    QCOMPARE(fieldMenu.sliced(fieldMenu.size() - expected.menu.size()), expected.menu);
    QCOMPARE(entryWithSharedLetter(fieldMenu), QString());
}

void TranslationTest::aboutBoxSpeaksTheLanguage()
{
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), expected.aboutTitle);
    const auto labels = about.findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.first()->text(), expected.aboutVersion);
    for (const QLabel *label : labels)
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(label->text()));
}

void TranslationTest::failedFilesWindowSpeaksTheLanguage()
{
    engine countingEngine;
    QWidget window;
    CFailedFilesDlg failed(countingEngine, &window);
    const QTreeWidgetItem *header = failed.findChild<QTreeWidget *>()->headerItem();
    QStringList texts = { failed.windowTitle(), header->text(0), header->text(1) };
    // Close comes from Qt's own catalogue, Copy from the window's.
    for (const QPushButton *button : failed.findChildren<QPushButton *>())
        texts.append(button->text());
    QCOMPARE(texts, expected.failedWindow);

    // The engine's own reasons are worded in the language too.
    const QTemporaryDir folder;
    const std::string path = QFile::encodeName(folder.path()).toStdString();
    countingEngine.add_file(path);
    countingEngine.wait();
    failed.refresh();
    QTreeWidget *list = failed.findChild<QTreeWidget *>();
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(1), expected.folderReason);

    // Every kind of failure has words in the language, those written only in present/ too.
    for (int kind = failure_reason::missing; kind <= failure_reason::name_not_unicode; ++kind) {
        const words english = failure_words(failure_reason::kind(kind), failure_reader::window);
        if (kind != failure_reason::system_error)
            QVERIFY2(translatedWords(english) != english.text, english.text);
    }
    const std::string readError = failure_text(failure_reason::read_failed(12, EIO),
                                               translatedWords(failure_words(failure_reason::read_error, failure_reader::window)));
    QVERIFY2(QString::fromStdString(readError).startsWith(expected.readErrorStart), readError.c_str());
}

QTEST_MAIN(TranslationTest)
#include "ui_translation_test.moc"
