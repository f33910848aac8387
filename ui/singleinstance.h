#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <span>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

// One window per user and display. A start first offers its files to the window already
// running, over a local socket in a folder of the user's own; when none answers, it opens the
// window and listens on that socket for later starts. A lock file keeps two starts at once
// from both becoming the window.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum HandOver { HandedOver, NoWindow, Failed };

    explicit SingleInstance(const QString &socketPath, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The socket's path, named for the display (X11 and Wayland), in a folder of this user's
    // own. Empty, with the reason in error, when there can be no such folder.
    static QString defaultSocketPath(QString *error);

    // Hands the files to the running window and waits until it has queued them, with their
    // folders counted by their files when walkFolders is set. NoWindow
    // when no window runs: the caller opens one and calls listen(). Failed, with the reason
    // in error, when a window runs but did not take the files.
    HandOver handOver(std::span<const std::string> paths, bool walkFolders, QString *error);

    // Serves later starts. A socket left behind by a window that crashed is replaced.
    bool listen(QString *error);

    // Peers running as another user are refused; tests pretend to be one by changing this.
    void setPeerUserId(uint userId) { peerUserId = userId; }

signals:
    // A later start handed these files over, in its order, asking for folders to be counted
    // by their files when walkFolders is set; none: it asks to be shown.
    void filesReceived(const std::vector<std::string> &paths, bool walkFolders);

private:
    void takeConnection();
    void readMessage(QLocalSocket *socket);
    bool peerIsUser(QLocalSocket *socket) const;
    void lock();

    QString socketPath;
    QLockFile lockFile;
    QLocalServer *server = nullptr;
    uint peerUserId;
};
