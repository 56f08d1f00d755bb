// The player in a window.
#include "tools/kestro/playwindow.h"

#include "runtime/host/gui.h"
#include "runtime/host/rtdb.h"
#include "runtime/project/projectio.h"
#include "runtime/session/eventdispatch.h"
#include "runtime/session/limits.h"
#include "runtime/session/report.h"
#include "tools/kestro/playdialogs.h"
#include "tools/kestro/playkeys.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStatusBar>
#include <QTableWidget>

#include <algorithm>
#include <cmath>

namespace kestro::play {

namespace {

enum TagColumn { kTagName, kTagType, kTagValue };
enum LogColumn { kLogTime, kLogWindow, kLogObject, kLogCode, kLogText };
constexpr int kLogRows = 10000;

// Both blink periods above the fastest are multiples of it, so the fastest alone tells when a
// blink tick falls due.
constexpr Micros kFastestBlink = VirtualClock::kBlinkPeriods[0];

Micros nextMultiple(Micros after, Micros period) {
    return (after / period + 1) * period;
}

QString fromBytes(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

const char* typeName(VarType type) {
    switch (type) {
    case VarType::Int:
        return "int";
    case VarType::Float:
        return "float";
    case VarType::String:
        return "string";
    }
    return "";
}

QTableWidgetItem* readOnlyItem(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

//! What the operator does is the event of the same name in a script.
ScriptEvent operatorEvent(ScriptEvent::Kind kind) {
    ScriptEvent event;
    event.kind = kind;
    return event;
}

QTableWidget* makeTable(const QStringList& headers, const char* name) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()));
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    return table;
}

} // namespace

// ---- the view ----

SessionView::SessionView(PlayWindow* owner) : m_owner(owner) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QPoint SessionView::toWindow(QPoint viewPoint) const {
    const Session* session = m_owner->session();
    const QSize own = session ? session->windowSize() : QSize();
    if (own.isEmpty() || width() <= 0 || height() <= 0) {
        return viewPoint;
    }
    // Whole window pixels, as the operator sees them under the pointer.
    const auto scaled = [](int at, int from, int to) {
        return static_cast<int>(std::floor(static_cast<double>(at) * to / from));
    };
    return QPoint(scaled(viewPoint.x(), width(), own.width()),
                  scaled(viewPoint.y(), height(), own.height()));
}

bool SessionView::ensurePicture(Session& session, const QRegion& windowRegion, QRegion* painted) {
    std::string error;
    if (m_picture.update(session, size(), windowRegion, painted, &error)) {
        return true;
    }
    // The view shows its background meanwhile.
    m_owner->statusBar()->showMessage(
        QStringLiteral("Cannot show the window: %1").arg(fromBytes(error)));
    return false;
}

void SessionView::showDamage(const QRegion& windowRegion) {
    Session* session = m_owner->session();
    if (!session || windowRegion.isEmpty() || session->windowSize().isEmpty()) {
        return;
    }
    QRegion painted;
    if (ensurePicture(*session, windowRegion, &painted)) {
        update(painted);
    }
}

void SessionView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    Session* session = m_owner->session();
    if (!session || session->windowSize().isEmpty()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    QRegion painted;
    if (!ensurePicture(*session, QRegion(), &painted)) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    for (const QRect& r : event->region()) {
        painter.drawImage(r, m_picture.image(), r);
    }
}

void SessionView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_owner->clickAt(toWindow(event->position().toPoint()));
}

void SessionView::keyPressEvent(QKeyEvent* event) {
    const int code = triggerCode(event->key(), event->modifiers());
    if (code == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Holding a key down triggers once.
    if (!event->isAutoRepeat()) {
        m_owner->trigger(code);
    }
}

// ---- the window ----

PlayWindow::PlayWindow(PlayOptions options, QWidget* parent)
    : QMainWindow(parent), m_options(std::move(options)), m_paused(m_options.paused) {
    setWindowTitle(QStringLiteral("kestro play"));
    m_view = new SessionView(this);
    m_view->setObjectName(QStringLiteral("sessionView"));
    setCentralWidget(m_view);
    buildPanels();
    buildMenus();
    m_clockLabel = new QLabel;
    statusBar()->addPermanentWidget(m_clockLabel);

    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_real.start();
}

PlayWindow::~PlayWindow() {
    closeProject();
}

void PlayWindow::buildPanels() {
    m_logTable =
        makeTable({QStringLiteral("Time"), QStringLiteral("Window"), QStringLiteral("Object"),
                   QStringLiteral("Code"), QStringLiteral("Text")},
                  "operationLog");
    m_logTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* logDock = new QDockWidget(QStringLiteral("Operation log"), this);
    logDock->setObjectName(QStringLiteral("operationLogPanel"));
    logDock->setWidget(m_logTable);
    addDockWidget(Qt::BottomDockWidgetArea, logDock);

    m_tagTable =
        makeTable({QStringLiteral("Tag"), QStringLiteral("Type"), QStringLiteral("Value")}, "tags");
    m_tagTable->setEditTriggers(QAbstractItemView::DoubleClicked |
                                QAbstractItemView::EditKeyPressed |
                                QAbstractItemView::AnyKeyPressed);
    QObject::connect(m_tagTable, &QTableWidget::itemChanged, this,
                     [this](QTableWidgetItem* item) { tagEdited(item); });
    auto* tagDock = new QDockWidget(QStringLiteral("Tags"), this);
    tagDock->setObjectName(QStringLiteral("tagPanel"));
    tagDock->setWidget(m_tagTable);
    addDockWidget(Qt::RightDockWidgetArea, tagDock);
}

void PlayWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = file->addAction(QStringLiteral("&Open project..."));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QObject::connect(open, &QAction::triggered, this, [this] { openFromMenu(); });
    QAction* captureAction = file->addAction(QStringLiteral("&Capture"));
    captureAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    QObject::connect(captureAction, &QAction::triggered, this, [this] { capture(); });
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("&Quit"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    for (QDockWidget* dock : findChildren<QDockWidget*>()) {
        view->addAction(dock->toggleViewAction());
    }

    QMenu* run = menuBar()->addMenu(QStringLiteral("&Run"));
    m_pauseAction = run->addAction(QStringLiteral("&Pause"));
    m_pauseAction->setCheckable(true);
    m_pauseAction->setChecked(m_paused);
    QObject::connect(m_pauseAction, &QAction::toggled, this,
                     [this](bool checked) { setPaused(checked); });
    m_windowMenu = run->addMenu(QStringLiteral("Show &window"));
}

// ---- projects ----

void PlayWindow::closeProject() {
    m_timer.stop();
    // The handler and the capture hook point at this window; the session's destructor takes
    // its own observers away.
    Gui::instance().setKeyboardHandler(nullptr);
    m_attached.reset();
    m_session.reset();
    m_view->forgetPicture();
}

bool PlayWindow::openProject(const Project& project, const QString& source, QString* error,
                             const Loader& load) {
    closeProject();
    m_session = std::make_unique<Session>(m_options.session);
    m_session->setRecordLimit(limits::kPlayerRecords);
    std::string reason;
    const bool loaded = load ? load(m_session.get(), &reason) : m_session->load(project, &reason);
    if (!loaded) {
        m_session.reset();
        *error = fromBytes(reason);
        return false;
    }
    if (m_options.attach) {
        m_attached = m_options.attach(*m_session, project, source);
    }
    installHostHooks();
    m_source = source;
    m_stopHandled = false;
    m_logTable->setRowCount(0);

    m_windows.clear();
    m_windowMenu->clear();
    for (const WindowDef& window : project.windows) {
        m_windows.push_back({window.number, fromBytes(window.name)});
        QAction* show = m_windowMenu->addAction(
            QStringLiteral("%1  %2").arg(window.number).arg(fromBytes(window.name)));
        const int number = window.number;
        QObject::connect(show, &QAction::triggered, this, [this, number] { showWindow(number); });
    }
    setWindowTitle(
        QStringLiteral("kestro play - %1")
            .arg(source.isEmpty() ? QStringLiteral("demo") : QFileInfo(source).fileName()));
    fillTags();
    operate([](Session& session) { session.start(); });
    if (!m_session->problems().empty()) {
        statusBar()->showMessage(
            QStringLiteral("%1 object records did not load cleanly (see stderr)")
                .arg(m_session->problems().size()));
    }
    fitView();
    m_view->setFocus();
    rebaseClock();
    scheduleTick();
    return true;
}

void PlayWindow::installHostHooks() {
    Gui& gui = Gui::instance();
    gui.setKeyboardHandler([this](const KeyboardCall& call) { return askKeyboard(call, this); });
    // The session records the capture; the picture is taken at once, while the object that
    // asked for it is still running, so it shows the screen of that moment.
    auto recorded = gui.onCapture;
    gui.onCapture = [this, recorded](const ScreenCapture& asked) {
        if (recorded) {
            recorded(asked);
        }
        capture();
    };
}

void PlayWindow::openFromMenu() {
    const QString start =
        m_source.isEmpty() ? QDir::currentPath() : QFileInfo(m_source).absolutePath();
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open project"), start,
                                     QStringLiteral("Projects (*.json *.kvs);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    Project project;
    ProjectError projectError;
    QString error;
    if (!loadProjectFile(path.toStdString(), &project, &projectError)) {
        if (projectError.file.empty()) {
            projectError.file = path.toStdString();
        }
        error = fromBytes(projectError.text());
    } else if (openProject(project, path, &error)) {
        return;
    }
    QMessageBox::warning(this, QStringLiteral("Open project"), error);
}

// ---- operations ----

bool PlayWindow::operate(const std::function<void(Session&)>& operation) {
    if (!m_session || m_busy || m_stopHandled) {
        return false;
    }
    m_busy = true;
    const int before = m_session->currentWindow();
    const CallMark mark = m_session->mark();
    operation(*m_session);
    m_busy = false;
    takeIn(m_session->callsSince(mark), before);
    return true;
}

void PlayWindow::takeIn(const HostCalls& calls, int windowBefore) {
    for (const OperationLogEntry& entry : calls.operationLog) {
        const ObjectRef object = m_session->findObject(entry.object);
        addLogRow(object.window, object.name, object.index, QString::number(entry.code),
                  fromBytes(entry.text));
    }
    // Each expression that starts or stops failing, once: not once per refresh.
    for (const ExpressionChange& change : calls.expressions) {
        const QString line = fromBytes(describe(change));
        addLogRow(change.window, change.name, change.index, QStringLiteral("expression"), line);
        statusBar()->showMessage(QStringLiteral("window %1, object %2 \"%3\": %4")
                                     .arg(change.window)
                                     .arg(change.index + 1)
                                     .arg(fromBytes(change.name), line));
    }
    // The live connections' reports: a loss or a refusal also in the status bar.
    for (const LogRecord& line : calls.logs) {
        if (line.tag == "live") {
            addLogRow(-1, std::string(), -1, QStringLiteral("live"), fromBytes(line.text));
            if (line.level <= 2) {
                statusBar()->showMessage(fromBytes(line.text));
            }
        }
    }
    for (const SessionFault& fault : calls.faults) {
        statusBar()->showMessage(QStringLiteral("window %1, object %2 \"%3\": %4")
                                     .arg(fault.window)
                                     .arg(fault.index + 1)
                                     .arg(fromBytes(fault.name), fromBytes(fault.what)));
    }
    if (m_session->currentWindow() != windowBefore) {
        fitView();
    }
    refreshTags();
    updateStatus();
    m_view->showDamage(m_session->takeDamage());
    if (m_session->stopped()) {
        stopped();
        return;
    }
    scheduleTick();
}

void PlayWindow::stopped() {
    if (m_stopHandled) {
        return;
    }
    m_stopHandled = true;
    m_timer.stop();
    QMessageBox::information(this, QStringLiteral("kestro play"),
                             QStringLiteral("The project stopped the runtime (stop code %1).")
                                 .arg(m_session->stopCode()));
    close();
}

int PlayWindow::clickAt(QPoint windowPoint) {
    ScriptEvent event = operatorEvent(ScriptEvent::Kind::ClickAt);
    event.x = windowPoint.x();
    event.y = windowPoint.y();
    EventOutcome outcome;
    const int window = m_session ? m_session->currentWindow() : -1;
    operate([&](Session& session) { outcome = dispatchEvent(session, event); });
    showRejected(outcome.rejected, window);
    return outcome.hit;
}

void PlayWindow::addLogRow(int window, const std::string& objectName, int objectIndex,
                           const QString& code, const QString& text) {
    const int row = m_logTable->rowCount();
    m_logTable->insertRow(row);
    m_logTable->setItem(row, kLogTime, readOnlyItem(QString::number(m_session->time(), 'f', 2)));
    m_logTable->setItem(row, kLogWindow,
                        readOnlyItem(window < 0 ? QString() : QString::number(window)));
    QString name = fromBytes(objectName);
    if (name.isEmpty() && objectIndex >= 0) {
        name = QStringLiteral("#%1").arg(objectIndex);
    }
    m_logTable->setItem(row, kLogObject, readOnlyItem(name));
    m_logTable->setItem(row, kLogCode, readOnlyItem(code));
    m_logTable->setItem(row, kLogText, readOnlyItem(text));
    // The panel keeps the latest rows only, like the records behind it.
    while (m_logTable->rowCount() > kLogRows) {
        m_logTable->removeRow(0);
    }
    m_logTable->scrollToBottom();
}

void PlayWindow::showRejected(const std::vector<RejectedAction>& rejected, int window) {
    // Nothing an operator does goes unanswered: a refusal is logged and said.
    for (const RejectedAction& action : rejected) {
        addLogRow(window, action.name, action.object, QStringLiteral("rejected"),
                  fromBytes(action.reason));
        statusBar()->showMessage(QStringLiteral("Rejected: %1").arg(fromBytes(action.reason)));
    }
}

void PlayWindow::trigger(int code) {
    ScriptEvent event = operatorEvent(ScriptEvent::Kind::Trigger);
    event.number = code;
    operate([&](Session& session) { dispatchEvent(session, event); });
}

bool PlayWindow::showWindow(int number) {
    ScriptEvent event = operatorEvent(ScriptEvent::Kind::Window);
    event.number = number;
    bool shown = false;
    operate([&](Session& session) { shown = dispatchEvent(session, event).done; });
    return shown;
}

bool PlayWindow::setTag(const std::string& name, const std::string& value, std::string* error) {
    if (!m_session) {
        *error = "no project is open";
        return false;
    }
    ScriptEvent event = operatorEvent(ScriptEvent::Kind::Set);
    event.name = name;
    event.text = value;
    const EventOutcome outcome = dispatchEvent(*m_session, event);
    if (!outcome.done) {
        *error = outcome.error;
    }
    refreshTags();
    return outcome.done;
}

// ---- the clock ----

void PlayWindow::rebaseClock() {
    m_realBase = m_real.elapsed();
    m_virtualBase = m_session ? m_session->time() : 0.0;
}

void PlayWindow::setPaused(bool paused) {
    if (paused == m_paused) {
        return;
    }
    m_paused = paused;
    if (m_pauseAction->isChecked() != paused) {
        m_pauseAction->setChecked(paused);
    }
    if (paused) {
        m_timer.stop();
    } else {
        // Time spent paused is not run.
        rebaseClock();
        scheduleTick();
    }
    updateStatus();
}

void PlayWindow::tick() {
    if (!m_session || m_paused) {
        return;
    }
    const double target = m_virtualBase + static_cast<double>(m_real.elapsed() - m_realBase) / 1e3;
    const double step = target - m_session->time();
    // Refused while an operation is under way behind a dialog; that one schedules the next
    // tick when it ends.
    operate([step](Session& session) { session.advance(step); });
}

void PlayWindow::scheduleTick() {
    if (!m_session || m_paused || m_stopHandled) {
        return;
    }
    const Micros now = toMicros(m_session->time());
    const Micros due = std::min(nextMultiple(now, m_options.session.refreshPeriod > 0
                                                      ? m_options.session.refreshPeriod
                                                      : VirtualClock::kDefaultRefresh),
                                nextMultiple(now, kFastestBlink));
    const double dueReal = static_cast<double>(m_realBase) + (toSeconds(due) - m_virtualBase) * 1e3;
    const double wait = std::ceil(dueReal - static_cast<double>(m_real.elapsed()));
    m_timer.start(static_cast<int>(std::max(0.0, std::min(wait, 1000.0))));
}

// ---- panels and status ----

void PlayWindow::fillTags() {
    m_updatingTags = true;
    const Rtdb& rtdb = Rtdb::instance();
    m_tagTable->setRowCount(rtdb.count());
    for (int i = 0; i < rtdb.count(); ++i) {
        const Variable* variable = rtdb.variable(i);
        m_tagTable->setItem(i, kTagName, readOnlyItem(fromBytes(variable->name)));
        m_tagTable->setItem(i, kTagType, readOnlyItem(QLatin1String(typeName(variable->type))));
        m_tagTable->setItem(i, kTagValue, new QTableWidgetItem);
    }
    m_updatingTags = false;
    refreshTags();
    m_tagTable->resizeColumnsToContents();
    // Wide enough for the names and values that are there, within reason.
    int width = 2 * m_tagTable->frameWidth() + 24;
    for (int column = 0; column < m_tagTable->columnCount(); ++column) {
        width += std::max(m_tagTable->columnWidth(column), 60);
    }
    m_tagTable->setMinimumWidth(std::min(width, 420));
}

void PlayWindow::refreshTags() {
    m_updatingTags = true;
    const Rtdb& rtdb = Rtdb::instance();
    for (int i = 0; i < std::min(rtdb.count(), m_tagTable->rowCount()); ++i) {
        std::string value;
        rtdb.getString(i, &value);
        // A live tag whose source could not give a value shows the last one it gave.
        const QString text =
            fromBytes(value) + (rtdb.variable(i)->bad ? QStringLiteral(" (bad)") : QString());
        QTableWidgetItem* item = m_tagTable->item(i, kTagValue);
        if (item && item->text() != text) {
            item->setText(text);
        }
    }
    m_updatingTags = false;
}

void PlayWindow::tagEdited(QTableWidgetItem* item) {
    if (m_updatingTags || item->column() != kTagValue) {
        return;
    }
    const QTableWidgetItem* name = m_tagTable->item(item->row(), kTagName);
    if (!name) {
        return;
    }
    std::string error;
    if (!setTag(name->text().toStdString(), item->text().toStdString(), &error)) {
        statusBar()->showMessage(fromBytes(error));
    }
}

QSize PlayWindow::viewSize() const {
    if (!m_options.viewSize.isEmpty()) {
        return m_options.viewSize;
    }
    return m_session ? m_session->windowSize() : QSize(320, 200);
}

void PlayWindow::fitView() {
    m_view->setFixedSize(viewSize());
    adjustSize();
}

void PlayWindow::updateStatus() {
    if (!m_session) {
        m_clockLabel->clear();
        return;
    }
    QStringList stack;
    for (int number : m_session->windowStack()) {
        stack << QString::number(number);
    }
    QString name;
    for (const WindowEntry& window : m_windows) {
        if (window.number == m_session->currentWindow()) {
            name = window.name;
        }
    }
    m_clockLabel->setText(QStringLiteral("%1 s%2   window %3 %4  [%5]")
                              .arg(m_session->time(), 0, 'f', 2)
                              .arg(m_paused ? QStringLiteral(" (paused)") : QString())
                              .arg(m_session->currentWindow())
                              .arg(name, stack.join(QStringLiteral(" > "))));
}

// ---- captures ----

QString PlayWindow::nextCapturePath() {
    QString directory = m_options.captureDir;
    if (directory.isEmpty()) {
        const QString base =
            m_source.isEmpty() ? QDir::currentPath() : QFileInfo(m_source).absolutePath();
        directory = QDir(base).filePath(QStringLiteral("captures"));
    }
    QDir dir(directory);
    if (!dir.mkpath(QStringLiteral("."))) {
        return QString();
    }
    // Earlier runs' captures stay: the numbering goes on after the last file there.
    for (;; ++m_nextCapture) {
        const QString path =
            dir.filePath(QStringLiteral("kestro-capture-%1.png").arg(m_nextCapture));
        if (!QFileInfo::exists(path)) {
            ++m_nextCapture;
            return path;
        }
    }
}

QString PlayWindow::capture() {
    if (!m_session) {
        return QString();
    }
    const QString path = nextCapturePath();
    std::string error = "cannot create the capture directory";
    if (path.isEmpty() || !m_session->savePng(path.toStdString(), QSize(), &error)) {
        statusBar()->showMessage(QStringLiteral("Capture failed: %1").arg(fromBytes(error)));
        return QString();
    }
    m_captures.push_back(path);
    statusBar()->showMessage(QStringLiteral("Capture saved: %1").arg(path));
    return path;
}

void PlayWindow::closeEvent(QCloseEvent* event) {
    m_timer.stop();
    event->accept();
}

} // namespace kestro::play
