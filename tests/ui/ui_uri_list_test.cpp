#include "urilist.h"

#include <QMimeData>
#include <QSysInfo>
#include <QTest>

using Paths = std::vector<std::string>;

class UriListTest : public QObject
{
    Q_OBJECT

private slots:
    void listKeepsOrderAndSkipsWhatIsNotALocalFile();
    void oneUri_data();
    void oneUri();
    void machineHostNameIsLocal();
    void offeredFiles();
};

void UriListTest::listKeepsOrderAndSkipsWhatIsNotALocalFile()
{
    const QByteArray list = "# dragged from a file manager\r\n"
                            "file:///tmp/b.txt\r\n"
                            "http://example.com/page.html\r\n"
                            "file:///tmp/a.txt\r\n"
                            "\r\n"
                            "file://elsewhere.example/tmp/c.txt\r\n"
                            "file:///tmp/c.txt\n" // a bare LF ends a line too
                            "file:///tmp/last";
    QCOMPARE(localFilePaths(list), (Paths{ "/tmp/b.txt", "/tmp/a.txt", "/tmp/c.txt", "/tmp/last" }));
    QVERIFY(localFilePaths("").empty());
    QVERIFY(localFilePaths("https://example.com/\r\nmailto:someone@example.com\r\n").empty());
}

void UriListTest::oneUri_data()
{
    QTest::addColumn<QByteArray>("uri");
    QTest::addColumn<Paths>("paths");

    QTest::newRow("spaces") << QByteArray("file:///tmp/my%20notes.txt") << Paths{ "/tmp/my notes.txt" };
    QTest::newRow("escaped percent") << QByteArray("file:///tmp/100%25.txt") << Paths{ "/tmp/100%.txt" };
    QTest::newRow("not UTF-8") << QByteArray("file:///tmp/caf%E9.txt") << Paths{ "/tmp/caf\xe9.txt" };
    QTest::newRow("escaped slash") << QByteArray("file:///tmp/a%2Fb") << Paths{ "/tmp/a/b" };
    // A NUL stays in, so that the engine reports the item as failed instead of opening the
    // path in front of it.
    QTest::newRow("escaped NUL") << QByteArray("file:///tmp/a%00b") << Paths{ std::string("/tmp/a\0b", 8) };
    QTest::newRow("bad escapes stay") << QByteArray("file:///tmp/100%.txt%4%") << Paths{ "/tmp/100%.txt%4%" };
    QTest::newRow("bad next to good") << QByteArray("file:///tmp/%zz%41") << Paths{ "/tmp/%zzA" };
    QTest::newRow("long path kept whole")
            << "file:///tmp/" + QByteArray(400, 'x') << Paths{ "/tmp/" + std::string(400, 'x') };
    QTest::newRow("localhost") << QByteArray("file://LocalHost/tmp/a") << Paths{ "/tmp/a" };
    QTest::newRow("no authority, capitals") << QByteArray("FILE:/tmp/a") << Paths{ "/tmp/a" };
    QTest::newRow("query and fragment") << QByteArray("file:///tmp/a?x=1#top") << Paths{ "/tmp/a" };
    QTest::newRow("folder") << QByteArray("file:///tmp/") << Paths{ "/tmp/" };
    QTest::newRow("other host") << QByteArray("file://server/share/a") << Paths{};
    QTest::newRow("relative") << QByteArray("file:notes.txt") << Paths{};
    QTest::newRow("host, no path") << QByteArray("file://localhost") << Paths{};
}

void UriListTest::oneUri()
{
    QFETCH(QByteArray, uri);
    QFETCH(Paths, paths);
    QCOMPARE(localFilePaths(uri + "\r\n"), paths);
}

void UriListTest::machineHostNameIsLocal()
{
    const QByteArray host = QSysInfo::machineHostName().toUtf8();
    if (host.isEmpty()) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL("this machine has no host name");
        QSKIP("this machine has no host name");
    }
    QCOMPARE(localFilePaths("file://" + host + "/tmp/a\r\n"), Paths{ "/tmp/a" });
}

// What a drag or the clipboard offers: a uri-list, or the file managers' copied-files form,
// whose first line must say copy or cut. A drag is judged by the first lines of its list.
void UriListTest::offeredFiles()
{
    QMimeData copied;
    copied.setData("x-special/gnome-copied-files", "copy\nfile:///tmp/b\nfile:///tmp/a");
    QCOMPARE(offeredFilePaths(&copied), (Paths{ "/tmp/b", "/tmp/a" }));
    QMimeData unknown;
    unknown.setData("x-special/gnome-copied-files", "link\nfile:///tmp/b");
    QVERIFY(offeredFilePaths(&unknown).empty());
    QVERIFY(!offersFilePaths(&unknown));
    QVERIFY(!offersFilePaths(nullptr));

    QByteArray list;
    for (int i = 0; i < 16; ++i)
        list += "https://example.com/" + QByteArray::number(i) + "\r\n";
    QMimeData late;
    late.setData("text/uri-list", list + "file:///tmp/late\r\n");
    QVERIFY(!offersFilePaths(&late));
    QCOMPARE(offeredFilePaths(&late), Paths{ "/tmp/late" });
    QMimeData early;
    early.setData("text/uri-list", "file:///tmp/early\r\n" + list);
    QVERIFY(offersFilePaths(&early));
}

QTEST_GUILESS_MAIN(UriListTest)
#include "ui_uri_list_test.moc"
