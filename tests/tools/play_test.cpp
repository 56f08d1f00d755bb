// ctest-link: kestroplay
// The play window driven in process, offscreen, as the operator drives it.
#include "tests/support/projecttestutil.h"
#include "tests/support/sessiontest.h"
#include "tools/kestro/playkeys.h"
#include "tools/kestro/playwindow.h"

#include "runtime/host/gui.h"
#include "runtime/host/stgy.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QStatusBar>
#include <QTableWidget>

#include <functional>

using namespace kestro;
using namespace kestro::play;
using namespace sessiontest;

namespace {

enum { kValve, kLevel }; // tag indexes

const char* const kProject = R"({
  "tags": [{"name": "Valve", "type": "int"}, {"name": "Level", "initial": 12.5}],
  "strategies": [{"number": 3, "actions": [{"action": "set", "tag": "Level", "value": 50}]}],
  "windows": [
    {"number": 1, "size": [200, 100], "objects": [
      {"class": "CDrawRect", "name": "Open", "rect": [10, 10, 60, 40], "fill": "#00FF00",
       "animations": [{"kind": "click", "flags": [1, 1], "params": [3, 2]}]},
      {"class": "CDrawRect", "name": "KeyK", "rect": [100, 50, 120, 70],
       "animations": [{"kind": "click", "flags": [0, 0, 0, 0, 0, 0, 0, 256],
                       "params": [-1, -1, -1, -1, -1, -1, -1, 0], "keyCode": 75, "keyFlags": 1}]}]},
    {"number": 2, "size": [300, 150], "objects": [
      {"class": "CDrawRect", "name": "Back", "rect": [0, 0, 50, 50],
       "animations": [{"kind": "click", "flags": [0, 0, 1], "params": [-1, -1, 2]}]}]}]
})";

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
        EXPECT_TRUE(window->statusBar()->currentMessage().startsWith(
            "Rejected: nothing that takes clicks at "));

        const auto* tags = window->findChild<QTableWidget*>("tags");
        EXPECT_EQ(tags->item(kLevel, 2)->text(), "12.5");
        click(*window, c.open);
        EXPECT_EQ(Strategies::instance().runs().size(), 1u); // strategy 3 sets Level to 50
        EXPECT_DOUBLE_EQ(floatTag(kLevel), 50.0);
        EXPECT_EQ(tags->item(kLevel, 2)->text(), "50"); // as people write it, not "50.000000"
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

//! The regions of the paint events a widget receives.
class PaintLog : public QObject {
public:
    std::vector<QRegion> regions;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            regions.push_back(static_cast<QPaintEvent*>(event)->region());
        }
        return false;
    }
};

TEST_F(Play, TheViewRepaintsWhatChangedAndNothingElse) {
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        auto window = open(scale == 1 ? QSize() : QSize(400, 200));
        PaintLog paints;
        window->view()->installEventFilter(&paints);
        QApplication::processEvents();
        const struct {
            const char* what;
            std::function<void()> act;
            QRect changed; //!< in window pixels, what is painted covers it and little more;
                           //!< null: nothing is painted
        } steps[] = {
            {"a click on nothing", [&] { click(*window, QPoint(90, 95) * scale); }, QRect()},
            {"a tag written in the panel", [&] { window->setTag("Level", "7", nullptr); }, QRect()},
            // KeyK's click reports a change: it alone is repainted.
            {"Shift+K", [&] { window->trigger(0x14B); }, QRect(100, 50, 20, 20)},
        };
        for (const auto& step : steps) {
            paints.regions.clear();
            step.act();
            QApplication::processEvents();
            ASSERT_EQ(paints.regions.size(), step.changed.isNull() ? 0u : 1u) << step.what;
            if (!step.changed.isNull()) {
                const QRect changed(step.changed.topLeft() * scale, step.changed.size() * scale);
                const QRegion& painted = paints.regions[0];
                EXPECT_TRUE((QRegion(changed) - painted).isEmpty()) << step.what;
                EXPECT_TRUE(changed.adjusted(-8, -8, 8, 8).contains(painted.boundingRect()))
                    << step.what;
            }
        }
        // Whatever Qt asks to repaint shows the window as a whole repaint does, also after
        // another window took the view.
        ASSERT_TRUE(window->showWindow(2));
        QApplication::processEvents();
        const QImage grabbed =
            window->view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(grabbed == window->session()->render(window->view()->size()));
    }
}

} // namespace
