#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// A real X server (Xvfb) of the test's own, on a display number it picks
// itself, for tests where focus and window activation matter: the offscreen
// platform has no window system to ask. The test starts it before its
// QApplication, which then runs on the "xcb" platform. A missing Xvfb is an
// error for the test to report, never a skip.
class XServer
{
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts Xvfb and points DISPLAY and QT_QPA_PLATFORM at it.
    bool start();
    void stop();
    QString display() const { return display_; }
    QString errorString() const { return error_; }

    // Runs xdotool on this display (real input events through the X
    // server); false, with the reason in errorString(), when it fails.
    bool xdotool(const QStringList& args);
    // The pointer to a point of the screen, then `count` clicks of a button.
    bool click(const QPoint& global, int button = 1, int count = 1);
    // Key presses that type the text, then Enter.
    bool typeLine(const QString& text);

private:
    pid_t pid_ = -1;
    QString display_;
    QString error_;
};
