// The player in a window: the current window of a project painted by the session, driven by real
// time, clicked with the mouse and triggered with keys, with the value input's keyboards as
// dialogs, screen captures as PNG files, and two panels: the operation log and the tags.
//
// Real time drives the session's virtual clock: a timer wakes up when the next refresh or blink
// tick falls due and advances the clock by the real time elapsed since the project was opened
// (paused time not counted), so refreshes (Run(0)) come at the refresh period and the blink ticks
// (Run(1) to Run(3)) at 0.25, 0.5 and 1 s, in the session's order. While a keyboard dialog is
// open the objects wait (a Run is still under way); the clock catches up when it closes.
#pragma once

#include "runtime/project/project.h"
#include "runtime/session/eventdispatch.h"
#include "runtime/session/session.h"
#include "runtime/session/sessionpicture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QMainWindow>
#include <QRegion>
#include <QSize>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QTableWidget;
class QTableWidgetItem;

namespace kestro::play {

class PlayWindow;

struct PlayOptions {
    //! Plug-ins and refresh period; the capture path is not used (the window saves captures).
    SessionOptions session;
    //! Every window scaled to this size; empty: each window at its own size.
    QSize viewSize;
    //! Where captures go; empty: "captures" next to the project file (or in the current
    //! directory for a project without a file).
    QString captureDir;
    //! The clock starts paused (Run > Pause).
    bool paused = false;
    //! Called with each session the window opens, once it is loaded; what it returns lives as
    //! long as that session does (kestro play's live data).
    std::function<std::shared_ptr<void>(Session&, const Project&, const QString& source)> attach;
};

//! Paints the session's current window and passes clicks and keys on to the play window.
//!
//! The view keeps its own picture of the window at its size: the session's damage is painted
//! into it, and the view's paint events copy from it. A repaint that Qt asks for (an uncovered
//! part, a region it merged) shows what the damage painted, never a clip of its own choosing.
class SessionView : public QWidget {
public:
    explicit SessionView(PlayWindow* owner);

    //! The point of the project's window under a point of the view.
    QPoint toWindow(QPoint viewPoint) const;
    //! Paints the region of the project's window into the picture and repaints that part of
    //! the view; nothing for an empty one.
    void showDamage(const QRegion& windowRegion);
    //! The picture is of no use any more (the session goes): the next paint paints it whole.
    void forgetPicture() { m_picture.forget(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    //! The picture at the view's size with the region painted (painted whole when it was of
    //! another size); false when there is no picture of that size.
    bool ensurePicture(Session& session, const QRegion& windowRegion, QRegion* painted);

    PlayWindow* m_owner;
    SessionPicture m_picture;
};

class PlayWindow : public QMainWindow {
public:
    //! Loads the project into a fresh session (by default Session::load); false with a reason.
    using Loader = std::function<bool(Session* session, std::string* error)>;

    explicit PlayWindow(PlayOptions options, QWidget* parent = nullptr);
    ~PlayWindow() override;

    //! Replaces the session by one of the project and starts it (the first refresh). source
    //! names the project file ("" for one without a file).
    bool openProject(const Project& project, const QString& source, QString* error,
                     const Loader& load = Loader());
    //! Null before a project is open.
    Session* session() const { return m_session.get(); }

    // What the operator does; the view, the menus and the panels call these.
    //! Run(11111) on the object hit at the window point; its index or -1.
    int clickAt(QPoint windowPoint);
    //! Run(code) on every object of the current window.
    void trigger(int code);
    //! Makes a window current, as opening it does.
    bool showWindow(int number);
    //! Writes a tag from its text, as the tag panel does; false with a reason.
    bool setTag(const std::string& name, const std::string& value, std::string* error);
    //! Saves the current window as the next capture file; its path, or "" with the reason in
    //! the status bar.
    QString capture();
    void setPaused(bool paused);
    bool paused() const { return m_paused; }

    SessionView* view() const { return m_view; }
    QTableWidget* tagTable() const { return m_tagTable; }
    QTableWidget* operationLogTable() const { return m_logTable; }
    //! Paths of the captures saved so far, asked for by objects or from the menu.
    const std::vector<QString>& captures() const { return m_captures; }
    //! The size the view paints the current window at.
    QSize viewSize() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct WindowEntry {
        int number;
        QString name;
    };

    void buildMenus();
    void buildPanels();
    void closeProject();
    void installHostHooks();
    void openFromMenu();

    //! Runs one operation on the session and takes in what it caused; false when none ran (no
    //! session, or an operation still under way behind a dialog).
    bool operate(const std::function<void(Session&)>& operation);
    //! Logs every rejected action in the operation log and says the last in the status bar.
    void showRejected(const std::vector<RejectedAction>& rejected, int window);
    void takeIn(const HostCalls& calls, int windowBefore);
    void addLogRow(int window, const std::string& objectName, int objectIndex, const QString& code,
                   const QString& text);
    void stopped();

    void tick();
    void scheduleTick();
    void rebaseClock();

    void fillTags();
    void refreshTags();
    void tagEdited(QTableWidgetItem* item);
    void fitView();
    void updateStatus();
    QString nextCapturePath();

    PlayOptions m_options;
    std::unique_ptr<Session> m_session;
    std::shared_ptr<void> m_attached; //!< goes before the session it was made for
    QString m_source;
    std::vector<WindowEntry> m_windows;
    std::vector<QString> m_captures;
    int m_nextCapture = 1;

    SessionView* m_view = nullptr;
    QTableWidget* m_tagTable = nullptr;
    QTableWidget* m_logTable = nullptr;
    QLabel* m_clockLabel = nullptr;
    QMenu* m_windowMenu = nullptr;
    QAction* m_pauseAction = nullptr;

    QTimer m_timer;
    QElapsedTimer m_real;
    qint64 m_realBase = 0;      //!< real milliseconds at the last rebase
    double m_virtualBase = 0.0; //!< session time at the last rebase
    bool m_paused = false;
    bool m_busy = false;
    bool m_updatingTags = false;
    bool m_stopHandled = false;
};

} // namespace kestro::play
