// Lets res/make_screenshot.sh picture the real program under Xvfb without any hook in it.
//   pomvane-screenshot-helper drag FILE...
//       Shows a small window; a button press on it drags FILE... as a file manager does, by
//       the X drag-and-drop protocol (xdotool moves the pointer). Prints "dropped" once a
//       window has taken the drop, "refused" when it was refused or fell on nothing, and
//       stays until it is ended, as the target fetches the paths after the drop.
//   pomvane-screenshot-helper grab WINDOW_ID OUTPUT.png
//       Saves the window's picture once it has stopped changing, so that the counting has
//       finished and the periodic refresh has shown the totals.
//   pomvane-screenshot-helper colour WINDOW_ID X Y
//       Prints the colour of the window's pixel at X, Y as #rrggbb, at once.
#include <QApplication>
#include <QColor>
#include <QDrag>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <QUrl>

#include <cstdio>

namespace {

class drag_source : public QLabel {
public:
    explicit drag_source(QList<QUrl> urls) : QLabel("drag"), urls(std::move(urls))
    {
        setAlignment(Qt::AlignCenter);
        setWindowTitle("drag source");
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        // The target fetches the paths from this process after the drop, so it stays until
        // it is ended.
        std::puts(action == Qt::IgnoreAction ? "refused" : "dropped");
        std::fflush(stdout);
    }

private:
    QList<QUrl> urls;
};

int drag(int argc, char** argv)
{
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 2; i < argc; ++i)
        urls << QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath());
    drag_source source(urls);
    // Bottom right, clear of the window being pictured, which a grab would otherwise show.
    const QRect screen = app.primaryScreen()->geometry();
    source.setGeometry(screen.right() - 80, screen.bottom() - 80, 64, 64);
    source.show();
    return app.exec();
}

WId window_id(const char* given, bool& ok)
{
    const WId window = QString::fromLocal8Bit(given).toULongLong(&ok, 0);
    if (!ok)
        std::fprintf(stderr, "pomvane-screenshot-helper: bad window id %s\n", given);
    return window;
}

int colour(int argc, char** argv)
{
    QApplication app(argc, argv);
    bool ok = false, x_ok = false, y_ok = false;
    const WId window = window_id(argv[2], ok);
    const int x = QByteArray(argv[3]).toInt(&x_ok), y = QByteArray(argv[4]).toInt(&y_ok);
    if (!ok || !x_ok || !y_ok)
        return 2;
    const QImage pixel = app.primaryScreen()->grabWindow(window, x, y, 1, 1).toImage();
    if (pixel.width() != 1 || pixel.height() != 1) {
        std::fprintf(stderr, "pomvane-screenshot-helper: no pixel at %d, %d of window %s\n", x, y, argv[2]);
        return 1;
    }
    std::printf("%s\n", QColor(pixel.pixel(0, 0)).name().toLatin1().constData());
    return 0;
}

int grab(int argc, char** argv)
{
    QApplication app(argc, argv);
    bool ok = false;
    const WId window = window_id(argv[2], ok);
    if (!ok)
        return 2;
    QScreen* screen = app.primaryScreen();
    // Stable for a second: ten times the window's refresh period.
    constexpr int interval_ms = 100, stable_grabs = 10, give_up_ms = 30000;
    QImage last = screen->grabWindow(window).toImage();
    int same = 0;
    QElapsedTimer clock;
    clock.start();
    while (same < stable_grabs) {
        if (clock.elapsed() > give_up_ms) {
            std::fprintf(stderr, "pomvane-screenshot-helper: the window kept changing\n");
            return 1;
        }
        QThread::msleep(interval_ms);
        QImage image = screen->grabWindow(window).toImage();
        same = image == last ? same + 1 : 0;
        last = std::move(image);
    }
    if (last.isNull() || last.width() < 2 || last.height() < 2) {
        std::fprintf(stderr, "pomvane-screenshot-helper: could not grab window %s\n", argv[2]);
        return 1;
    }
    // Quality 0 asks for the strongest compression.
    if (!last.convertToFormat(QImage::Format_RGB32).save(QString::fromLocal8Bit(argv[3]), "PNG", 0)) {
        std::fprintf(stderr, "pomvane-screenshot-helper: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "drag" && argc > 2)
        return drag(argc, argv);
    if (mode == "grab" && argc == 4)
        return grab(argc, argv);
    if (mode == "colour" && argc == 5)
        return colour(argc, argv);
    std::fprintf(stderr,
        "usage: pomvane-screenshot-helper drag FILE...\n"
        "       pomvane-screenshot-helper grab WINDOW_ID OUTPUT.png\n"
        "       pomvane-screenshot-helper colour WINDOW_ID X Y\n");
    return 2;
}
