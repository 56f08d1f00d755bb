// The event scripts of `kestro run`: one event per line, run in order on a session.
//
//   advance SECONDS     move the virtual clock; refreshes and blink ticks fall due on the way
//   refresh             Run(0) on every object of the current window
//   blink 1|2|3         one blink tick
//   click NAME          Run(11111) on the named object of the current window
//   click-at X Y        Run(11111) on the topmost visible object at the point, if any
//   trigger CODE        Run(CODE) on every object of the current window
//   sync NAME TEXT      TEXT as the synchronised value, then Run(5) on the named object
//   set TAG VALUE       write a tag
//   key TEXT            answer the next keyboard with TEXT
//   key-cancel          the next keyboard fails to open
//   window N            show window N, as if an object had opened it
//
// Words are separated by blanks. A word in double quotes may hold blanks and the escapes
// \" \\ \n \t ("" is the empty text). '#' outside quotes starts a comment; blank lines are skipped.
#pragma once

#include <string>
#include <vector>

namespace kestro {

struct ScriptEvent {
    enum class Kind {
        Advance,
        Refresh,
        Blink,
        Click,
        ClickAt,
        Trigger,
        Sync,
        Set,
        Key,
        KeyCancel,
        Window
    };
    Kind kind = Kind::Refresh;
    int line = 0;       //!< 1-based line of the script
    std::string source; //!< the line without its comment, trimmed
    double seconds = 0; //!< Advance
    int number = 0;     //!< Blink: the tick; Trigger: the code; Window: the window
    int x = 0, y = 0;   //!< ClickAt
    std::string name;   //!< Click, Sync: the object; Set: the tag
    std::string text;   //!< Sync, Key: the text; Set: the value
};

struct ScriptError {
    int line = 0;
    int column = 0; //!< 1-based, in bytes
    std::string message;
};

//! Parses a whole script; false with the first error.
bool parseEventScript(const std::string& script, std::vector<ScriptEvent>* events,
                      ScriptError* error);

} // namespace kestro
