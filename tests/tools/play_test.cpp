// ctest-link: kestroplay
// The play window driven in process, offscreen, as the operator drives it.
#include "tests/support/projecttestutil.h"
#include "tests/support/sessiontest.h"
#include "tools/kestro/playdialogs.h"
#include "tools/kestro/playkeys.h"
#include "tools/kestro/playwindow.h"

#include "runtime/host/gui.h"
#include "runtime/host/stgy.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

#include <functional>

using namespace kestro;
using namespace kestro::play;
using namespace sessiontest;

namespace {

enum { kValve, kLevel }; // tag indexes
constexpr int kFillStrategy = 3;

const char* const kProject = R"({
  "languages": [{"name": "en", "texts": {"log.level": "Level set"}}],
  "tags": [{"name": "Valve", "type": "int"}, {"name": "Level", "initial": 12.5}],
  "strategies": [{"number": 3, "actions": [{"action": "set", "tag": "Level", "value": 50}]}],
  "windows": [
    {"number": 1, "size": [200, 100], "objects": [
      {"class": "CDrawRect", "name": "Open", "rect": [10, 10, 60, 40], "fill": "#00FF00",
       "animations": [{"kind": "click", "flags": [1, 1], "params": [3, 2]}]},
      {"class": "CDrawRect", "name": "Level", "rect": [100, 10, 150, 40],
       "operLog": {"on": 1, "text": "log.level"},
       "animations": [{"kind": "input", "var": "Level", "prompt": "Level"}]},
      {"class": "CDrawRect", "name": "Valve", "rect": [10, 50, 60, 90],
       "animations": [{"kind": "input", "var": "Valve", "inputType": 0, "switchText1": "on",
                       "switchText2": "off"}]},
      {"class": "CDrawRect", "name": "KeyK", "rect": [100, 50, 120, 70],
       "animations": [{"kind": "click", "flags": [0, 0, 0, 0, 0, 0, 0, 256],
                       "params": [-1, -1, -1, -1, -1, -1, -1, 0], "keyCode": 75, "keyFlags": 1}]},
      {"class": "CDrawRect", "name": "Quit", "rect": [160, 50, 190, 70],
       "animations": [{"kind": "click", "flags": [0, 0, 0, 0, 0, 0, 1],
                       "texts": ["", "", "", "", "", "", "退出运行环境"]}]}]},
    {"number": 2, "size": [300, 150], "objects": [
      {"class": "CDrawRect", "name": "Back", "rect": [0, 0, 50, 50],
       "animations": [{"kind": "click", "flags": [0, 0, 1], "params": [-1, -1, 2]}]}]}]
})";

//! Acts on the next modal dialog as soon as it is up (the window's operations block in it).
class NextDialog {
public:
    explicit NextDialog(std::function<void(QDialog*)> act) {
        QObject::connect(&m_timer, &QTimer::timeout, [this, act] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                m_timer.stop();
                ++m_seen;
                act(dialog);
            }
        });
        m_timer.start(5);
    }
    int seen() const { return m_seen; }

private:
    QTimer m_timer;
    int m_seen = 0;
};

class Play : public PluginTest {
protected:
    //! A window on the test project, its clock paused so that only the test moves things.
    std::unique_ptr<PlayWindow> open(QSize viewSize = QSize()) {
        PlayOptions o;
        o.session = options();
        o.viewSize = viewSize;
        o.paused = true;
        auto window = std::make_unique<PlayWindow>(o);
        QString error;
        EXPECT_TRUE(window->openProject(projecttest::compiled(kProject), QString(), &error))
            << error.toStdString();
        window->show();
        return window;
    }

    static void click(PlayWindow& window, QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, at, window.view()->mapToGlobal(QPointF(at)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.view(), &press);
    }

    static QString status(PlayWindow& window) { return window.statusBar()->currentMessage(); }
};

TEST_F(Play, ClicksOnTheViewOpenAndCloseWindows) {
    const struct {
        QSize viewSize;             //!< the view of both windows; empty: each window's own size
        QPoint open, back, nowhere; // over Open in window 1, over Back in window 2
    } cases[] = {
        {QSize(), {20, 20}, {10, 10}, {90, 95}},
        // Open covers view x 20..120, y 20..80 of window 1; Back x 0..66, y 0..66 of window 2.
        {QSize(400, 200), {110, 70}, {60, 60}, {190, 190}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.viewSize.width());
        auto window = open(c.viewSize);
        const QSize first = c.viewSize.isEmpty() ? QSize(200, 100) : c.viewSize;
        EXPECT_EQ(window->view()->size(), first);
        click(*window, c.nowhere);
        EXPECT_TRUE(Strategies::instance().runs().empty());
        EXPECT_TRUE(status(*window).startsWith("Rejected: nothing that takes clicks at "));

        click(*window, c.open);
        ASSERT_EQ(Strategies::instance().runs().size(), 1u);
        EXPECT_EQ(Strategies::instance().runs()[0].strategy, kFillStrategy);
        EXPECT_DOUBLE_EQ(floatTag(kLevel), 50.0);
        EXPECT_EQ(Gui::instance().openedWindows(), std::vector<int>{2});
        EXPECT_EQ(window->session()->currentWindow(), 2);
        EXPECT_EQ(window->view()->size(), c.viewSize.isEmpty() ? QSize(300, 150) : c.viewSize);

        click(*window, c.back);
        EXPECT_EQ(Gui::instance().closedWindows(), std::vector<int>{2});
        EXPECT_EQ(window->session()->currentWindow(), 1);
        EXPECT_EQ(window->view()->size(), first);
    }
}

TEST_F(Play, KeysSendTriggerCodes) {
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int code;
    } cases[] = {
        {Qt::Key_A, Qt::NoModifier, 0x41},
        {Qt::Key_K, Qt::ShiftModifier, 0x14B},
        {Qt::Key_7, Qt::NoModifier, 0x37},
        {Qt::Key_7, Qt::KeypadModifier, 0x67},
        {Qt::Key_F1, Qt::ControlModifier, 0x270},
        {Qt::Key_F24, Qt::NoModifier, 0x87},
        {Qt::Key_Return, Qt::ShiftModifier | Qt::AltModifier, 0x50D},
        {Qt::Key_Delete, Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier, 0x72E},
        {Qt::Key_Percent, Qt::NoModifier, 0},
        {Qt::Key_Shift, Qt::ShiftModifier, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(triggerCode(c.key, c.modifiers), c.code) << std::hex << c.key;
    }
    // KeyK answers Shift+K (0x14B) alone.
    auto window = open();
    for (const auto& [modifiers, valve] : {std::pair{Qt::NoModifier, 0}, {Qt::ShiftModifier, 1}}) {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_K, modifiers);
        QApplication::sendEvent(window->view(), &event);
        EXPECT_EQ(intTag(kValve), valve);
    }
}

TEST_F(Play, KeyboardDialogsWriteWhatIsEntered) {
    auto window = open();
    QTableWidget* log = window->operationLogTable();
    // The numeric keyboard shows the range and the current value; what is accepted in range is
    // written and logged under its object; a cancel or an entry out of range writes nothing.
    const struct {
        const char* text;
        bool accept;
        double level;
        const char* logged; //!< the new log row's value and text
        const char* status;
    } entries[] = {
        {"42.5", true, 42.5, "5 Level set", ""},
        {"7", false, 42.5, "rejected keyboard cancelled", "Rejected: keyboard cancelled"},
        {"250", true, 42.5, "", "Rejected: \"250\" is out of the range 0 to 100"},
    };
    QString preset = "12.5";
    for (const auto& e : entries) {
        SCOPED_TRACE(e.text);
        const size_t writes = Rtdb::instance().writes().size();
        const int rows = log->rowCount();
        NextDialog answer([&](QDialog* dialog) {
            EXPECT_EQ(dialog->findChild<QLabel*>("keyboardRange")->text(), "Range: 0 to 100");
            auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(kKeyboardText));
            EXPECT_EQ(edit->text(), preset);
            edit->setText(e.text);
            e.accept ? dialog->accept() : dialog->reject();
        });
        click(*window, {110, 20});
        EXPECT_EQ(answer.seen(), 1);
        EXPECT_DOUBLE_EQ(floatTag(kLevel), e.level);
        preset = QString::number(e.level);
        EXPECT_EQ(Rtdb::instance().writes().size(), writes + (*e.status ? 0 : 1));
        if (*e.logged) {
            ASSERT_EQ(log->rowCount(), rows + 1);
            EXPECT_EQ(log->item(rows, 2)->text(), "Level");
            EXPECT_EQ(log->item(rows, 3)->text() + " " + log->item(rows, 4)->text(), e.logged);
        }
        EXPECT_TRUE(!*e.status || status(*window) == e.status) << status(*window).toStdString();
    }

    // The switch: the first button carries the record's second text and answers 0, the second
    // the first text and answers 1.
    for (const char* button : {kSwitchSecond, kSwitchFirst}) {
        NextDialog answer([&](QDialog* dialog) {
            EXPECT_EQ(dialog->findChild<QPushButton*>(QLatin1String(kSwitchFirst))->text(), "off");
            EXPECT_EQ(dialog->findChild<QPushButton*>(QLatin1String(kSwitchSecond))->text(), "on");
            dialog->findChild<QPushButton*>(QLatin1String(button))->click();
        });
        click(*window, {20, 60});
        EXPECT_EQ(answer.seen(), 1);
        EXPECT_EQ(intTag(kValve), button == kSwitchSecond ? 1 : 0);
    }
}

TEST_F(Play, StopShowsAMessageAndCloses) {
    auto window = open();
    QString message;
    NextDialog answer([&](QDialog* dialog) {
        message = qobject_cast<QMessageBox*>(dialog) ? qobject_cast<QMessageBox*>(dialog)->text()
                                                     : QString();
        dialog->accept();
    });
    click(*window, {170, 60}); // Quit
    EXPECT_EQ(answer.seen(), 1);
    EXPECT_EQ(Gui::instance().stops(), std::vector<int>{0});
    EXPECT_TRUE(message.contains("stop code 0")) << message.toStdString();
    EXPECT_FALSE(window->isVisible());
    click(*window, {20, 20}); // a stopped runtime takes no more clicks
    EXPECT_TRUE(Strategies::instance().runs().empty());
}

} // namespace
