// JSON forms of what a session shows.
#include "runtime/session/report.h"

#include "runtime/host/rtdb.h"

#include <QJsonDocument>

#include <map>

namespace kestro {

namespace {

QString text(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

QJsonArray rectJson(const SessionRect& r) {
    return QJsonArray{r.left, r.top, r.right, r.bottom};
}

QString setterName(VarType type) {
    switch (type) {
    case VarType::Int:
        return QStringLiteral("int");
    case VarType::Float:
        return QStringLiteral("float");
    case VarType::String:
        return QStringLiteral("string");
    }
    return QString();
}

QJsonObject writeJson(const RtdbWrite& write) {
    QJsonObject o{{QStringLiteral("index"), write.index},
                  {QStringLiteral("setter"), setterName(write.setter)},
                  {QStringLiteral("result"), write.result}};
    const Variable* variable = Rtdb::instance().variable(write.index);
    o[QStringLiteral("tag")] = variable ? text(variable->name) : QString();
    switch (write.setter) {
    case VarType::Int:
        o[QStringLiteral("value")] = write.intValue;
        break;
    case VarType::Float:
        o[QStringLiteral("value")] = write.floatValue;
        break;
    case VarType::String:
        o[QStringLiteral("value")] = text(write.text);
        break;
    }
    return o;
}

QJsonObject keyboardJson(const KeyboardCall& call) {
    return QJsonObject{
        {QStringLiteral("customised"), call.customised},
        {QStringLiteral("kind"), call.kind},
        {QStringLiteral("preset"), text(call.preset)},
        {QStringLiteral("mode"), call.mode},
        {QStringLiteral("prompt"), text(call.prompt)},
        {QStringLiteral("text2"), call.hasText2 ? QJsonValue(text(call.text2)) : QJsonValue()},
        {QStringLiteral("text3"), call.hasText3 ? QJsonValue(text(call.text3)) : QJsonValue()},
        {QStringLiteral("reserved"), call.reserved},
        {QStringLiteral("code"), call.code},
        {QStringLiteral("value1"), call.value1},
        {QStringLiteral("value2"), call.value2},
    };
}

QJsonObject monitorJson(const MonitorRecord& record) {
    return QJsonObject{{QStringLiteral("module"), record.module},
                       {QStringLiteral("code"), record.code},
                       {QStringLiteral("message"), text(record.message)},
                       {QStringLiteral("kind"), record.kind}};
}

QJsonObject logJson(const LogRecord& record) {
    return QJsonObject{{QStringLiteral("module"), record.module},
                       {QStringLiteral("function"), text(record.function)},
                       {QStringLiteral("file"), text(record.file)},
                       {QStringLiteral("line"), record.line},
                       {QStringLiteral("flags"), record.flags},
                       {QStringLiteral("level"), record.level},
                       {QStringLiteral("tag"), text(record.tag)},
                       {QStringLiteral("text"), text(record.text)}};
}

template <class T, class F>
QJsonArray arrayOf(const std::vector<T>& items, F toJsonValue) {
    QJsonArray array;
    for (const T& item : items) {
        array.append(toJsonValue(item));
    }
    return array;
}

// A report repeated within one event (a failing expression on every refresh) is one entry, where
// it first came, with its "count".
template <class T>
QJsonArray collapsedArrayOf(const std::vector<T>& items, QJsonObject (*toJsonObject)(const T&)) {
    QJsonArray array;
    std::map<QByteArray, qsizetype> seen;
    for (const T& item : items) {
        const QJsonObject o = toJsonObject(item);
        const auto [at, fresh] =
            seen.emplace(QJsonDocument(o).toJson(QJsonDocument::Compact), array.size());
        if (fresh) {
            array.append(o);
            continue;
        }
        QJsonObject first = array[at->second].toObject();
        first[QStringLiteral("count")] = first.value(QStringLiteral("count")).toInt(1) + 1;
        array[at->second] = first;
    }
    return array;
}

} // namespace

QString colorName(uint32_t rgb) {
    return QStringLiteral("#%1").arg(rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}

QJsonObject toJson(const ObjectState& s, const ObjectState* previous) {
    QJsonObject o{
        {QStringLiteral("index"), s.index},
        {QStringLiteral("name"), text(s.name)},
        {QStringLiteral("class"), text(s.className)},
        {QStringLiteral("rect"), rectJson(s.rect)},
        {QStringLiteral("show"), s.showState},
        {QStringLiteral("visible"), s.visible},
        {QStringLiteral("shown"), s.showState / 10 != 0},
        {QStringLiteral("pen"),
         QJsonObject{{QStringLiteral("on"), s.pen},
                     {QStringLiteral("style"), static_cast<qint64>(s.penStyle)},
                     {QStringLiteral("width"), s.penWidth},
                     {QStringLiteral("color"), colorName(s.penColor)}}},
        {QStringLiteral("fill"),
         QJsonObject{{QStringLiteral("on"), s.brush},
                     {QStringLiteral("style"), static_cast<qint64>(s.brushStyle)},
                     {QStringLiteral("color"), colorName(s.brushColor)}}},
        {QStringLiteral("clip"),
         s.hasClipRect ? QJsonValue(QJsonObject{{QStringLiteral("on"), s.clip},
                                                {QStringLiteral("rect"), rectJson(s.clipRect)}})
                       : QJsonValue()},
        {QStringLiteral("text"), text(s.text)},
    };
    if (previous) {
        o[QStringLiteral("changed")] = s.changes != previous->changes;
    }
    return o;
}

QJsonObject toJson(const LoadProblem& p) {
    return QJsonObject{
        {QStringLiteral("window"), p.window},
        {QStringLiteral("index"), p.index},
        {QStringLiteral("classNumber"), static_cast<qint64>(p.classNumber)},
        {QStringLiteral("class"), text(p.className)},
        {QStringLiteral("name"), text(p.objectName)},
        {QStringLiteral("reason"), text(p.reason)},
        {QStringLiteral("skipped"), p.skipped},
        {QStringLiteral("monitor"), arrayOf(p.monitor, monitorJson)},
        {QStringLiteral("logs"), arrayOf(p.logs, logJson)},
    };
}

QJsonObject toJson(const SessionFault& f) {
    return QJsonObject{{QStringLiteral("window"), f.window},
                       {QStringLiteral("index"), f.index},
                       {QStringLiteral("name"), text(f.name)},
                       {QStringLiteral("what"), text(f.what)}};
}

QJsonObject toJson(const ExpressionChange& c) {
    QJsonObject o{{QStringLiteral("window"), c.window},
                  {QStringLiteral("index"), c.index},
                  {QStringLiteral("object"), text(c.name)},
                  {QStringLiteral("animation"), c.animation},
                  {QStringLiteral("kind"), text(c.kind)},
                  {QStringLiteral("program"), text(c.program)},
                  {QStringLiteral("expression"), text(c.source)},
                  {QStringLiteral("failing"), c.failing}};
    if (c.failing) {
        o[QStringLiteral("reason")] = text(c.reason);
    }
    return o;
}

std::string describe(const ExpressionChange& c) {
    std::string line = "animation " + std::to_string(c.animation + 1) + " (" + c.kind;
    if (c.program != "expression") {
        line += ", " + c.program + " limit";
    }
    line += ")";
    if (!c.source.empty()) {
        line += " \"" + c.source + "\"";
    }
    return line + (c.failing ? ": " + c.reason : std::string(" runs again"));
}

QJsonObject toJson(const HostCalls& calls, const Session& session) {
    QJsonArray captures;
    for (size_t i = 0; i < calls.captures.size(); ++i) {
        const ScreenCapture& c = calls.captures[i];
        QJsonObject o{{QStringLiteral("file"), text(c.file)},
                      {QStringLiteral("title"), text(c.title)},
                      {QStringLiteral("mode"), c.mode},
                      {QStringLiteral("x"), c.x},
                      {QStringLiteral("y"), c.y},
                      {QStringLiteral("width"), c.width},
                      {QStringLiteral("height"), c.height}};
        if (i < calls.captureFiles.size() && !calls.captureFiles[i].path.empty()) {
            const CaptureFile& file = calls.captureFiles[i];
            o[QStringLiteral("saved")] = file.saved ? QJsonValue(text(file.path)) : QJsonValue();
            if (!file.saved) {
                o[QStringLiteral("error")] = text(file.error);
            }
        }
        captures.append(o);
    }
    auto number = [](int n) { return QJsonValue(n); };
    QJsonObject o{
        {QStringLiteral("windowsOpened"), arrayOf(calls.opened, number)},
        {QStringLiteral("windowsClosed"), arrayOf(calls.closed, number)},
        {QStringLiteral("strategies"), arrayOf(calls.strategies,
                                               [](const StrategyRun& run) {
                                                   return QJsonObject{
                                                       {QStringLiteral("strategy"), run.strategy},
                                                       {QStringLiteral("argument"), run.argument},
                                                       {QStringLiteral("known"), run.known}};
                                               })},
        {QStringLiteral("captures"), captures},
        {QStringLiteral("stops"), arrayOf(calls.stops, number)},
        {QStringLiteral("writes"), arrayOf(calls.writes, writeJson)},
        {QStringLiteral("operationLog"),
         arrayOf(calls.operationLog,
                 [&session](const OperationLogEntry& entry) {
                     const ObjectRef ref = session.findObject(entry.object);
                     return QJsonObject{{QStringLiteral("window"), ref.window},
                                        {QStringLiteral("index"), ref.index},
                                        {QStringLiteral("object"), text(ref.name)},
                                        {QStringLiteral("code"), entry.code},
                                        {QStringLiteral("text"), text(entry.text)}};
                 })},
        {QStringLiteral("keyboards"), arrayOf(calls.keyboards, keyboardJson)},
        {QStringLiteral("monitor"), collapsedArrayOf(calls.monitor, monitorJson)},
        {QStringLiteral("logs"), collapsedArrayOf(calls.logs, logJson)},
        {QStringLiteral("faults"),
         arrayOf(calls.faults, [](const SessionFault& f) { return toJson(f); })},
        {QStringLiteral("expressions"),
         arrayOf(calls.expressions, [](const ExpressionChange& c) { return toJson(c); })},
    };
    if (calls.dropped > 0) {
        o[QStringLiteral("dropped")] = static_cast<qint64>(calls.dropped);
    }
    return o;
}

QJsonObject toJson(const Session::Trace& trace) {
    QJsonArray objects;
    for (const Session::ObjectTrace& object : trace.objects) {
        objects.append(QJsonObject{{QStringLiteral("index"), object.index},
                                   {QStringLiteral("name"), text(object.name)},
                                   {QStringLiteral("class"), text(object.className)},
                                   {QStringLiteral("calls"), toJson(object.records)}});
    }
    return QJsonObject{
        {QStringLiteral("size"), QJsonArray{trace.size.width(), trace.size.height()}},
        {QStringLiteral("background"), toJson(trace.background)},
        {QStringLiteral("objects"), objects},
    };
}

QJsonObject EventReporter::stateLine(const CallMark& mark) {
    QJsonObject o;
    o[QStringLiteral("time")] = m_session.time();
    o[QStringLiteral("window")] = m_session.currentWindow();
    QJsonArray stack;
    for (int number : m_session.windowStack()) {
        stack.append(number);
    }
    o[QStringLiteral("stack")] = stack;
    o[QStringLiteral("stopped")] = m_session.stopped();
    const std::vector<ObjectState> states = m_session.objectStates();
    QJsonArray objects;
    for (const ObjectState& state : states) {
        const auto previous = m_last.find({state.window, state.index});
        objects.append(toJson(state, previous == m_last.end() ? nullptr : &previous->second));
    }
    for (const ObjectState& state : states) {
        m_last[{state.window, state.index}] = state;
    }
    o[QStringLiteral("objects")] = objects;
    o[QStringLiteral("calls")] = toJson(m_session.callsSince(mark), m_session);
    return o;
}

QJsonObject EventReporter::loadLine(const CallMark& mark, const std::string& source) {
    QJsonObject o = stateLine(mark);
    o[QStringLiteral("step")] = 0;
    o[QStringLiteral("event")] = QStringLiteral("load");
    o[QStringLiteral("project")] = text(source);
    QJsonArray problems;
    for (const LoadProblem& problem : m_session.problems()) {
        problems.append(toJson(problem));
    }
    o[QStringLiteral("problems")] = problems;
    return o;
}

QJsonObject EventReporter::eventLine(int step, const ScriptEvent& event,
                                     const EventOutcome& outcome, const CallMark& mark) {
    QJsonObject o = stateLine(mark);
    if (event.kind == ScriptEvent::Kind::ClickAt) {
        o[QStringLiteral("hit")] = outcome.hit >= 0 ? QJsonValue(outcome.hit) : QJsonValue();
    }
    if (!outcome.rejected.empty()) {
        QJsonArray rejected;
        for (const RejectedAction& action : outcome.rejected) {
            QJsonObject r;
            r[QStringLiteral("object")] =
                action.object >= 0 ? QJsonValue(action.object) : QJsonValue();
            r[QStringLiteral("name")] = text(action.name);
            r[QStringLiteral("reason")] = text(action.reason);
            rejected.append(r);
        }
        o[QStringLiteral("rejected")] = rejected;
    }
    o[QStringLiteral("step")] = step;
    o[QStringLiteral("line")] = event.line;
    o[QStringLiteral("event")] = text(event.source);
    return o;
}

} // namespace kestro
