// The player core of the kestro host: a loaded project with its windows and drawing objects,
// its database, languages and strategies, driven on a virtual clock.
//
// The host drives the objects as a runtime does: each object is created through its class
// descriptor, loads its record, gets the expression host and a null parent, and receives Run(-1)
// once after loading (the polylines compute their vertex ratios then). After that:
//   - the first operation that runs anything refreshes the start window at time 0;
//   - advance() walks the virtual clock (clock.h): at every instant where something falls due
//     the tag feed (live data) stores what came in and the simulated tags take their value of
//     that instant, then the refresh and the blink ticks
//     run on every object of the current window;
//   - a click sends Run(11111) to one object, a trigger code Run(code) and a forced output update
//     Run(88888) to every object of the current window;
//   - windows opened and closed by the objects form a stack whose top is the current window; a
//     window that becomes current is refreshed as soon as the operation that opened it is done.
//     Closing the last window on the stack is recorded but leaves it shown (a runtime always
//     shows a screen).
//
// The session holds the parts together: loading (sessionload.h), the windows and their stack
// (sessionwindow.h), painting (sessionpaint.h) and the record of host calls
// (sessionrecorder.h); running the clock and the events is sessionrun.cpp.
//
// A session takes over the host services (real-time database, languages, strategies, windows,
// records) while it lives: only one session at a time.
#pragma once

#include "runtime/host/rtdbhost.h"
#include "runtime/project/project.h"
#include "runtime/session/clock.h"
#include "runtime/session/sessionload.h"
#include "runtime/session/sessionpaint.h"
#include "runtime/session/sessionrecorder.h"
#include "runtime/session/sessionwindow.h"
#include "runtime/session/simulation.h"

#include <QImage>
#include <QRegion>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;
class draw_object_c;

namespace kestro {

class DamageTracker;
class PluginSet;

struct SessionRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0; //!< right and bottom exclusive
};

//! What the host reads of one drawing object.
struct ObjectState {
    int window = 0;
    int index = 0; //!< position in the window's object list
    uint32_t classNumber = 0;
    std::string className;
    std::string name;
    SessionRect rect;
    int showState = 11;  //!< units digit visible, tens digit shown (blink phase)
    bool visible = true; //!< as the object answers IsVisible
    int pen = 0;         //!< outline flag
    uint32_t penStyle = 0;
    int penWidth = 0;
    uint32_t penColor = 0; //!< 0x00RRGGBB
    int brush = 0;         //!< fill flag
    uint32_t brushStyle = 0;
    uint32_t brushColor = 0;
    bool clip = false;        //!< drawing is cut to clipRect
    bool hasClipRect = false; //!< the object holds a clip rectangle
    SessionRect clipRect;
    std::string text;
    uint64_t changes = 0; //!< runs that reported a change, since loading
};

//! An object of the session named for reports.
struct ObjectRef {
    int window = -1; //!< -1: not an object of this session
    int index = -1;
    std::string name;
};

//! Where the damage looks for what changed, once a window has been looked at whole.
enum class DamageLook {
    //! At the objects whose run reported a change. After loading only a run changes an object,
    //! and every class of our plug-ins reports each change it makes.
    Reported,
    //! At every object of the window after every event: for classes that may change without
    //! saying so. It reads every object each time.
    Everything,
};

struct SessionOptions {
    //! The plug-ins the classes come from: objects are loaded only from classes of our own
    //! plug-ins (their identifiers begin with "vorn_"). Null: the caller vouches for every
    //! registered class.
    const PluginSet* plugins = nullptr;
    Micros refreshPeriod = VirtualClock::kDefaultRefresh;
    //! Where captures asked for by objects are saved as PNG; "%n" stands for the capture's
    //! number, counted from 1. Empty: captures are recorded, not saved.
    std::string capturePath;
    DamageLook damageLook = DamageLook::Reported;
};

class Session {
public:
    explicit Session(SessionOptions options = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    //! Sets up the host from the project and loads every window. Damaged object records are
    //! skipped and listed in problems(); false (with a reason) only when the project itself
    //! cannot run: no window, a missing start window, a tag name twice, a strategy on an
    //! unknown tag. Call once.
    bool load(const Project& project, std::string* error);
    const std::vector<LoadProblem>& problems() const { return m_problems; }

    // ---- windows ----
    //! Number of the current window; -1 before loading.
    int currentWindow() const;
    //! Window numbers from the bottom of the stack to the current one.
    const std::vector<int>& windowStack() const { return m_stack.numbers(); }
    //! Makes a loaded window current, as opening it does; false for an unknown number.
    bool showWindow(int number);
    bool hasWindow(int number) const { return findWindow(number) >= 0; }
    QSize windowSize() const;

    // ---- time and events ----
    double time() const { return toSeconds(m_clock.now()); }
    //! Runs the initial refresh if that has not happened yet (every operation below does).
    void start();
    //! Moves the virtual clock forward, running what falls due in time order.
    void advance(double seconds);
    //! Run(0) on every object of the current window, now.
    void refresh();
    //! One blink tick (1, 2 or 3) on every object of the current window, now.
    void blinkTick(int tick);
    //! Run(code) on every object of the current window: trigger codes, 88888, -1.
    void trigger(int code);
    //! Run(11111) on the topmost object of the current window with that name; false when there
    //! is none.
    bool click(const std::string& objectName);
    //! Run(11111) on the object hit at the point; its index, or -1 when nothing is hit.
    int clickAt(int x, int y);
    //! The topmost visible object of the current window that takes clicks (a click or value
    //! input animation) and whose bound rectangle (inclusive) contains the point, or -1.
    int hitTest(int x, int y) const;
    //! Queues the text as the synchronised value and sends Run(5) to the named object; a text
    //! the object does not take is dropped. False when there is no such object.
    bool sync(const std::string& objectName, const std::string& text);
    //! Writes a tag from its text form (a number for int and float tags, the text itself for
    //! string tags); false with a reason for an unknown tag or a value it cannot take.
    bool setTag(const std::string& tag, const std::string& value, std::string* error);
    //! Called at every instant of advance() before the simulated tags and the refresh: tag values
    //! from outside the session (live data) are written to the database then, never during a
    //! refresh. Its writes are the tags' own, like the simulation's, not an operator's.
    void setTagFeed(std::function<void()> feed) { m_feed = std::move(feed); }
    //! The tag is no longer simulated: its values come from the feed.
    void stopSimulating(int tag) { m_simulated.remove(tag); }
    //! Answers the next keyboard an object opens; opened false: the keyboard fails to open.
    void queueKeyboardAnswer(const std::string& text, bool opened = true);

    bool stopped() const { return m_stopped; }
    int stopCode() const { return m_stopCode; }

    // ---- state ----
    std::vector<ObjectState> objectStates() const;
    std::vector<ObjectState> objectStates(int window) const;
    //! Index of the first object of the current window with that name, or -1.
    int indexOf(const std::string& objectName) const;
    ObjectRef findObject(const draw_object_c* object) const;
    const RecordList<SessionFault>& faults() const { return m_recorder.faults(); }

    // ---- records ----
    CallMark mark() const { return m_recorder.mark(); }
    HostCalls callsSince(const CallMark& mark) const { return m_recorder.callsSince(mark); }
    //! Forgets every record made so far: a reader that has reported them calls it, so that the
    //! records of a long session stay those of its last event.
    void forgetRecords() { m_recorder.forgetBefore(m_recorder.mark()); }
    //! The most entries any one record keeps, also within one event (10,000 unless set).
    void setRecordLimit(size_t limit) { m_recorder.setLimit(limit); }
    //! Entries kept in all records together.
    size_t recordsKept() const { return m_recorder.kept(); }

    // ---- painting ----
    //! Paints the current window's background, then every visible object in order (IsVisible),
    //! on a painter whose coordinates are the window's pixels.
    void paint(QPainter* painter);
    //! Paints the part of the current window in the region (window pixels) as paint() paints
    //! it, and nothing outside: the background there, then every visible object that paints
    //! there, cut to the region. An empty region paints nothing at all.
    void paint(QPainter* painter, const QRegion& region);
    //! The region of the current window that changed since the last take, which it forgets:
    //! every object whose run reported a change damages where it painted and where it paints
    //! now; looking at everything (SessionOptions::damageLook), so does every object whose
    //! rectangle, show state, outline, fill, clip or text differs (sessiondamage.h). The first
    //! take after loading, after the current window changed and after the window's size
    //! changed is the whole window. A tag written between events damages nothing by itself:
    //! the objects that read it change at their next run.
    QRegion takeDamage();
    //! The current window as an image; size empty: the window's own size, otherwise the window
    //! scaled to that size.
    QImage render(QSize size = QSize());
    //! render() saved as PNG.
    bool savePng(const std::string& path, QSize size, std::string* error);

    using ObjectTrace = kestro::ObjectTrace;
    using Trace = WindowTrace;
    //! Every paint call of the current window on the recording device, per object (none for an
    //! invisible one).
    Trace trace();

private:
    void installObservers();
    void destroyObjects();

    int findWindow(int number) const;
    LoadedWindow* current();
    const LoadedWindow* current() const;
    ObjectState stateOf(const LoadedWindow& window, const LoadedObject& object) const;
    //! The last object of the window's list with that name, or null.
    static LoadedObject* topmostNamed(LoadedWindow& window, const std::string& objectName);

    void runAll(int code);
    void simulate(Micros time);
    //! Refreshes a window that became current during the last operation.
    void settle();

    void onWindowOpen(int number);
    void onWindowClose(int number);
    void onCapture(const ScreenCapture& capture);

    SessionOptions m_options;
    VirtualClock m_clock;
    RtdbScriptHost m_scriptHost;
    std::vector<LoadedWindow> m_windows;
    WindowStack m_stack;
    std::vector<LoadProblem> m_problems;
    CallRecorder m_recorder;
    SimulatedTags m_simulated;
    std::function<void()> m_feed;
    bool m_loaded = false;
    bool m_started = false;
    bool m_pendingRefresh = false;
    bool m_stopped = false;
    int m_stopCode = 0;
    uint64_t m_runs = 0; //!< rounds of runs, for the damage tracker to tell nothing ran
    std::unique_ptr<DamageTracker> m_damage;
};

} // namespace kestro
