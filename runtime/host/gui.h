// Window, input and event services of the reference host: every call is recorded; keyboard
// answers and synchronised values can be scripted.
//
// Keyboards (__gui_input_dialog_open, __gui_open_customed_input): each call is recorded with its
// arguments and the text in the buffer at the call, then answered by the next queued answer, or
// else by the handler, or else not opened (false). An opened answer writes at most 1023 bytes of
// its text into the 1024-byte buffer, zero-terminated; an answer that is not opened leaves the
// buffer alone. __gui_get_vornset_version returns 0 and fills its arguments when a project
// version is set, else returns -1 and touches nothing. The other entry points return 0.
#pragma once

#include "runtime/host/records.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class draw_object_c;

namespace kestro {

struct KeyboardCall {
    bool customised = false; //!< __gui_open_customed_input rather than __gui_input_dialog_open
    int kind = 0;
    std::string preset; //!< text in the buffer when the keyboard opened
    int mode = 0;
    std::string prompt;
    bool hasText2 = false;
    std::string text2;
    bool hasText3 = false;
    std::string text3;
    int reserved = 0; //!< or the customised keyboard's setting
    int code = 0;
    int value1 = 0;
    int value2 = 0;
    //! How it was answered: opened with that text, or not opened.
    bool opened = false;
    std::string answer{};
    bool cancelled = false; //!< see KeyboardAnswer
};

struct KeyboardAnswer {
    bool opened = true;
    std::string text;
    //! Opened, but the operator cancelled it: the text is the preset handed back.
    bool cancelled = false;
};

struct OperationLogEntry {
    draw_object_c* object = nullptr;
    int code = 0;
    std::string text;
};

struct ScreenCapture {
    std::string file;
    std::string title;
    int mode = 0, x = 0, y = 0, width = 0, height = 0;
};

struct ProjectVersion {
    int major = 0, minor = 0, build = 0, revision = 0;
    std::string text;
};

class Gui {
public:
    static Gui& instance();

    //! The records of the calls, in order; their owner (a session) trims them.
    struct Records {
        RecordList<int> opened; //!< windows of __gui_wnd_open
        RecordList<int> closed; //!< windows of __gui_wnd_close
        RecordList<int> stops;  //!< codes of __gui_operation_stop
        RecordList<ScreenCapture> captures;
        RecordList<OperationLogEntry> operationLog; //!< entries of __gui_operation_log_print
        RecordList<KeyboardCall> keyboardCalls; //!< keyboards opened or asked for, answered or not
    };
    Records& records() { return m_records; }
    const RecordList<int>& openedWindows() const { return m_records.opened; }
    const RecordList<int>& closedWindows() const { return m_records.closed; }
    const RecordList<ScreenCapture>& captures() const { return m_records.captures; }
    const RecordList<int>& stops() const { return m_records.stops; }
    const RecordList<OperationLogEntry>& operationLog() const { return m_records.operationLog; }
    const RecordList<KeyboardCall>& keyboardCalls() const { return m_records.keyboardCalls; }

    //! The next keyboard answers, in order. Without a queued answer the keyboard is not opened
    //! (false), unless a keyboard handler is set.
    void queueKeyboardAnswer(KeyboardAnswer answer) { m_answers.push_back(std::move(answer)); }
    //! A handler asked for every keyboard when no answer is queued (a real dialog, for example).
    void setKeyboardHandler(std::function<KeyboardAnswer(const KeyboardCall&)> handler) {
        m_keyboardHandler = std::move(handler);
    }
    //! Texts handed out by __gui_sync_variable, one per call; null when none is queued. A text
    //! handed out stays valid until the next call that hands out another.
    void queueSyncText(std::string text) { m_syncTexts.push_back(std::move(text)); }

    //! The project version reported to plug-ins; without one the integers are left untouched.
    void setProjectVersion(const ProjectVersion& version);
    void clearProjectVersion() { m_hasVersion = false; }

    //! Observers of window switches, captures and stops (the player uses them), called after
    //! the call is recorded.
    std::function<void(int)> onWindowOpen;
    std::function<void(int)> onWindowClose;
    std::function<void(const ScreenCapture&)> onCapture;
    std::function<void(int)> onStop;

    //! Forgets records (their limits stay), answers, sync texts, the version, the handler and the
    //! observers.
    void clear();

    // Used by the host entry points.
    int windowOpen(int window);
    int windowClose(int window);
    int screenCapture(const ScreenCapture& capture);
    int operationStop(int code);
    int operationLog(draw_object_c* object, int code, const char* text);
    bool keyboard(const KeyboardCall& call, char* text);
    const char* syncText();
    bool version(int* major, int* minor, int* build, int* revision, std::string* text) const;

private:
    Gui() = default;
    Records m_records;
    std::deque<KeyboardAnswer> m_answers;
    std::function<KeyboardAnswer(const KeyboardCall&)> m_keyboardHandler;
    std::deque<std::string> m_syncTexts;
    std::string m_currentSync;
    bool m_hasVersion = false;
    ProjectVersion m_version;
};

} // namespace kestro
