#include "handovermessage.h"
#include "singleinstance.h"

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using Paths = std::vector<std::string>;
Q_DECLARE_METATYPE(Paths)

// A window (the server, here in the test) and later starts (the real program, or a raw socket).
class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void laterStartsHandTheirFilesOver();
    void badPeersAreRefused_data();
    void badPeersAreRefused();
    void socketFolderIsTheUsersAlone();

private:
    // Runs the program as a later start would; its exit status.
    int start(const QStringList &arguments);
    // Sends raw bytes as a peer; true when the window answered that it took them.
    bool send(const QByteArray &bytes);

    QTemporaryDir runtimeDir;
    QTemporaryDir workDir;
    QString socketPath;
};

void SingleInstanceTest::init()
{
    QVERIFY(runtimeDir.isValid() && workDir.isValid());
    // The program finds the window's socket through these; no display is opened.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    qputenv("DISPLAY", ":handover-test");
    qunsetenv("WAYLAND_DISPLAY");
    QString error;
    socketPath = SingleInstance::defaultSocketPath(&error);
    QVERIFY2(socketPath.startsWith(runtimeDir.path() + "/org.pomvane.Pomvane/"), qPrintable(error));
}

int SingleInstanceTest::start(const QStringList &arguments)
{
    const QString program = qEnvironmentVariable("POMVANE");
    if (program.isEmpty())
        qFatal("POMVANE must name the program to test");
    QProcess process;
    process.setWorkingDirectory(workDir.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    // The window's event loop must run while the start waits for its answer.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool SingleInstanceTest::send(const QByteArray &bytes)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!QTest::qWaitFor([&] { return socket.state() == QLocalSocket::ConnectedState; }, 5000))
        return false;
    socket.write(bytes);
    // A peer that stops half-way closes its side.
    if (bytes.size() < handover::headerSize)
        socket.disconnectFromServer();
    const bool answered = QTest::qWaitFor(
            [&] { return socket.bytesAvailable() > 0 || socket.state() == QLocalSocket::UnconnectedState; }, 30000);
    return answered && socket.read(1) == QByteArray(1, handover::accepted);
}

void SingleInstanceTest::laterStartsHandTheirFilesOver()
{
    SingleInstance window(socketPath);
    QString error;
    QVERIFY2(window.listen(&error), qPrintable(error));
    QSignalSpy received(&window, &SingleInstance::filesReceived);

    // Relative names are made absolute against the start's folder; a name after -- may start
    // with a dash; bytes that are not UTF-8 arrive unchanged.
    const QByteArray folder = QFile::encodeName(workDir.path());
    const QString latin1 = QFile::decodeName("caf\xe9");
    QCOMPARE(start({ "b.txt", "/tmp/a", "--", "-reverse", latin1 }), 0);
    QCOMPARE(received.size(), 1);
    const Paths expected{ folder.toStdString() + "/b.txt", "/tmp/a", folder.toStdString() + "/-reverse",
                          (folder + "/" + QFile::encodeName(latin1)).toStdString() };
    QCOMPARE(received[0][0].value<Paths>(), expected);
    QCOMPARE(received[0][1].toBool(), false);

    // -r asks the window to count the folders by their files.
    QCOMPARE(start({ "-r", "tree" }), 0);
    QCOMPARE(received.size(), 2);
    QCOMPARE(received[1][0].value<Paths>(), Paths{ folder.toStdString() + "/tree" });
    QCOMPARE(received[1][1].toBool(), true);

    // No files: the window is asked to come to the front.
    QCOMPARE(start({}), 0);
    QCOMPARE(received.size(), 3);
    QVERIFY(received[2][0].value<Paths>().empty());
}

void SingleInstanceTest::badPeersAreRefused_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<bool>("otherUser");

    const Paths paths{ "/tmp/a", "/tmp/b" };
    const QByteArray good = handover::encode(paths);
    QByteArray badMagic = good;
    badMagic[0] = 'P';
    QByteArray oversized = good.first(8);
    oversized += QByteArray::fromHex("7fffffff");
    // The body: flags, count, then each path's length and bytes.
    QByteArray unknownFlag = good;
    unknownFlag[handover::headerSize + 3] = 2;
    QByteArray countTooHigh = good;
    countTooHigh[handover::headerSize + 7] = 3;
    QByteArray lengthTooLong = good;
    lengthTooLong[handover::headerSize + 11] = char(200);
    QByteArray withNul = good;
    withNul[handover::headerSize + 12 + 4] = '\0';
    // Twenty bytes that announce 2^32 - 1 paths: refused by the count before anything is sized
    // for them, or the window would end with std::bad_alloc.
    QByteArray countPastTheBody = good.first(8) + QByteArray::fromHex("00000008" "00000000" "ffffffff");

    QTest::newRow("bad magic") << badMagic << false;
    QTest::newRow("oversized") << oversized << false;
    QTest::newRow("unknown flag") << unknownFlag << false;
    QTest::newRow("count too high") << countTooHigh << false;
    QTest::newRow("count past the body") << countPastTheBody << false;
    QTest::newRow("length past the end") << lengthTooLong << false;
    QTest::newRow("NUL in a path") << withNul << false;
    QTest::newRow("bytes after the message") << good + "x" << false;
    QTest::newRow("cut short") << good.first(5) << false;
    QTest::newRow("another user") << good << true;
}

void SingleInstanceTest::badPeersAreRefused()
{
    QFETCH(QByteArray, message);
    QFETCH(bool, otherUser);
    SingleInstance window(socketPath);
    QString error;
    QVERIFY2(window.listen(&error), qPrintable(error));
    if (otherUser)
        window.setPeerUserId(uint(::geteuid()) + 1);
    QSignalSpy received(&window, &SingleInstance::filesReceived);

    QVERIFY(!send(message));
    QCOMPARE(received.size(), 0);

    // The window still serves good peers afterwards.
    window.setPeerUserId(uint(::geteuid()));
    QVERIFY(send(handover::encode(Paths{ "/tmp/c" })));
    QCOMPARE(received.size(), 1);
    QCOMPARE(received[0][0].value<Paths>(), Paths{ "/tmp/c" });
}

// The socket's folder is made 0700; without a runtime folder of the user's own it goes to the
// user's cache folder, never to a shared one that another user could have created first; one
// that others may enter is refused.
void SingleInstanceTest::socketFolderIsTheUsersAlone()
{
    constexpr auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
            | QFile::WriteUser | QFile::ExeUser;
    QTemporaryDir cacheHome;
    QVERIFY(cacheHome.isValid());
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheHome.path()));
    QString error;
    QCOMPARE(QFileInfo(QFileInfo(socketPath).path()).permissions(), ownerOnly);

    const QString cacheFolder = cacheHome.path() + "/org.pomvane.Pomvane";
    qunsetenv("XDG_RUNTIME_DIR");
    QCOMPARE(QFileInfo(SingleInstance::defaultSocketPath(&error)).path(), cacheFolder);
    QCOMPARE(QFileInfo(cacheFolder).permissions(), ownerOnly);

    // Open to others, as /tmp is.
    QTemporaryDir shared;
    QVERIFY(QFile::setPermissions(shared.path(), QFile::permissions(shared.path()) | QFile::WriteOther));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(shared.path()));
    QCOMPARE(QFileInfo(SingleInstance::defaultSocketPath(&error)).path(), cacheFolder);

    QVERIFY(QFile::setPermissions(cacheFolder, ownerOnly | QFile::ReadOther | QFile::ExeOther));
    qunsetenv("XDG_RUNTIME_DIR");
    QVERIFY(SingleInstance::defaultSocketPath(&error).isEmpty());
    QVERIFY2(error.contains(cacheFolder), qPrintable(error));
    qunsetenv("XDG_CACHE_HOME");
}

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "ui_single_instance_test.moc"
