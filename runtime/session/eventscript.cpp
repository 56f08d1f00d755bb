// The event scripts of `kestro run`.
#include "runtime/session/eventscript.h"

#include "runtime/session/limits.h"

#include <QByteArray>

#include <cmath>
#include <limits>

namespace kestro {

namespace {

struct Word {
    std::string text;
    int column = 0;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

//! Splits a line into words; false with an error for an unterminated quote or a bad escape.
bool splitLine(const std::string& line, int lineNumber, std::vector<Word>* words,
               size_t* contentEnd, ScriptError* error) {
    size_t at = 0;
    *contentEnd = 0;
    while (true) {
        while (at < line.size() && isBlank(line[at])) {
            ++at;
        }
        if (at >= line.size() || line[at] == '#') {
            return true;
        }
        Word word;
        word.column = static_cast<int>(at) + 1;
        if (line[at] == '"') {
            ++at;
            bool closed = false;
            while (at < line.size()) {
                const char c = line[at++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c != '\\') {
                    word.text += c;
                    continue;
                }
                const char escaped = at < line.size() ? line[at++] : '\0';
                switch (escaped) {
                case '"':
                case '\\':
                    word.text += escaped;
                    break;
                case 'n':
                    word.text += '\n';
                    break;
                case 't':
                    word.text += '\t';
                    break;
                default:
                    *error = {lineNumber, static_cast<int>(at) - 1,
                              "unknown escape in quoted text"};
                    return false;
                }
            }
            if (!closed) {
                *error = {lineNumber, word.column, "quoted text is not closed"};
                return false;
            }
            if (at < line.size() && !isBlank(line[at]) && line[at] != '#') {
                *error = {lineNumber, static_cast<int>(at) + 1, "blank expected after quoted text"};
                return false;
            }
        } else {
            while (at < line.size() && !isBlank(line[at])) {
                word.text += line[at++];
            }
        }
        words->push_back(std::move(word));
        *contentEnd = at;
    }
}

bool toNumber(const Word& word, double* value) {
    bool ok = false;
    *value = QByteArray::fromStdString(word.text).toDouble(&ok);
    return ok && std::isfinite(*value);
}

bool toInteger(const Word& word, int* value) {
    bool ok = false;
    const qlonglong number = QByteArray::fromStdString(word.text).toLongLong(&ok, 10);
    if (!ok || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max()) {
        return false;
    }
    *value = static_cast<int>(number);
    return true;
}

struct Shape {
    const char* keyword;
    ScriptEvent::Kind kind;
    size_t arguments;
    const char* usage;
};

const Shape kShapes[] = {
    {"advance", ScriptEvent::Kind::Advance, 1, "advance SECONDS"},
    {"refresh", ScriptEvent::Kind::Refresh, 0, "refresh"},
    {"blink", ScriptEvent::Kind::Blink, 1, "blink 1|2|3"},
    {"click", ScriptEvent::Kind::Click, 1, "click NAME"},
    {"click-at", ScriptEvent::Kind::ClickAt, 2, "click-at X Y"},
    {"trigger", ScriptEvent::Kind::Trigger, 1, "trigger CODE"},
    {"sync", ScriptEvent::Kind::Sync, 2, "sync NAME TEXT"},
    {"set", ScriptEvent::Kind::Set, 2, "set TAG VALUE"},
    {"key", ScriptEvent::Kind::Key, 1, "key TEXT"},
    {"key-cancel", ScriptEvent::Kind::KeyCancel, 0, "key-cancel"},
    {"window", ScriptEvent::Kind::Window, 1, "window N"},
};

bool parseEvent(const std::vector<Word>& words, ScriptEvent* event, ScriptError* error) {
    const Shape* shape = nullptr;
    for (const Shape& candidate : kShapes) {
        if (words[0].text == candidate.keyword) {
            shape = &candidate;
        }
    }
    if (!shape) {
        *error = {event->line, words[0].column, "unknown event \"" + words[0].text + "\""};
        return false;
    }
    const size_t given = words.size() - 1;
    if (given != shape->arguments) {
        const int column = given > shape->arguments
                               ? words[shape->arguments + 1].column
                               : words.back().column + static_cast<int>(words.back().text.size());
        *error = {event->line, column, std::string("expected: ") + shape->usage};
        return false;
    }
    event->kind = shape->kind;
    auto fail = [&](const Word& word, const std::string& message) {
        *error = {event->line, word.column, message};
        return false;
    };
    switch (shape->kind) {
    case ScriptEvent::Kind::Advance:
        if (!toNumber(words[1], &event->seconds) || !(event->seconds >= 0) ||
            event->seconds > limits::kMaxStepSeconds) {
            return fail(words[1], "a time in seconds from 0 to " +
                                      std::to_string(static_cast<int>(limits::kMaxStepSeconds)) +
                                      " expected");
        }
        break;
    case ScriptEvent::Kind::Blink:
        if (!toInteger(words[1], &event->number) || event->number < 1 || event->number > 3) {
            return fail(words[1], "blink tick 1, 2 or 3 expected");
        }
        break;
    case ScriptEvent::Kind::Trigger:
        if (!toInteger(words[1], &event->number)) {
            return fail(words[1], "an integer event code expected");
        }
        break;
    case ScriptEvent::Kind::Window:
        if (!toInteger(words[1], &event->number)) {
            return fail(words[1], "a window number expected");
        }
        break;
    case ScriptEvent::Kind::ClickAt:
        if (!toInteger(words[1], &event->x)) {
            return fail(words[1], "an x coordinate expected");
        }
        if (!toInteger(words[2], &event->y)) {
            return fail(words[2], "a y coordinate expected");
        }
        break;
    case ScriptEvent::Kind::Click:
        event->name = words[1].text;
        break;
    case ScriptEvent::Kind::Sync:
    case ScriptEvent::Kind::Set:
        event->name = words[1].text;
        event->text = words[2].text;
        break;
    case ScriptEvent::Kind::Key:
        event->text = words[1].text;
        break;
    case ScriptEvent::Kind::Refresh:
    case ScriptEvent::Kind::KeyCancel:
        break;
    }
    return true;
}

} // namespace

bool parseEventScript(const std::string& script, std::vector<ScriptEvent>* events,
                      ScriptError* error) {
    std::vector<ScriptEvent> parsed;
    // A byte order mark some editors write is skipped; columns count from after it.
    static const std::string kByteOrderMark = "\xEF\xBB\xBF";
    size_t start =
        script.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0 ? kByteOrderMark.size() : 0;
    for (int lineNumber = 1; start <= script.size(); ++lineNumber) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) {
            end = script.size();
        }
        const std::string line = script.substr(start, end - start);
        start = end + 1;

        std::vector<Word> words;
        size_t contentEnd = 0;
        if (!splitLine(line, lineNumber, &words, &contentEnd, error)) {
            return false;
        }
        if (words.empty()) {
            continue;
        }
        ScriptEvent event;
        event.line = lineNumber;
        const size_t first = static_cast<size_t>(words[0].column - 1);
        event.source = line.substr(first, contentEnd - first);
        if (!parseEvent(words, &event, error)) {
            return false;
        }
        parsed.push_back(std::move(event));
    }
    *events = std::move(parsed);
    return true;
}

} // namespace kestro
