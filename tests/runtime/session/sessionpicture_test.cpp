// A picture kept up to date by the damage shows what a whole render shows, at any size.
#include "tests/support/pictures.h"
#include "tests/support/projecttestutil.h"
#include "tests/support/sessiontest.h"

#include "runtime/session/eventdispatch.h"
#include "runtime/session/eventscript.h"
#include "runtime/session/sessionpicture.h"

#include <QDir>
#include <QTemporaryDir>

#include <random>

using namespace kestro;
using namespace sessiontest;

namespace {

using Picture = PluginTest;

//! The clock and written tags move these windows: one step of either, then a refresh.
void step(Session& session, const Project& project, std::mt19937& random, int n,
          std::string* line) {
    *line = "advance 0.4";
    if (n % 2 == 1) {
        const TagDef& tag = project.tags[random() % project.tags.size()];
        *line =
            "set " + tag.name + " " +
            (tag.type == VarType::String ? "s" + std::string(random() % 9, 'x')
                                         : std::to_string(static_cast<int>(random() % 130) - 10));
    }
    std::vector<ScriptEvent> events;
    ScriptError error;
    ASSERT_TRUE(parseEventScript(*line, &events, &error)) << *line;
    dispatchEvent(session, events.at(0));
    dispatchEvent(session, ScriptEvent{}); // a refresh
}

// Scaled, a gradient cut at a clip edge inside it would start its spans elsewhere than a whole
// render does: only a damage painted over whole spans matches, at every scale.
TEST_F(Picture, RepaintingTheDamageShowsTheWholeWindowAtEverySize) {
    const QSizeF scales[] = {{1, 1}, {2, 2}, {1.5, 1.5}, {0.75, 0.75}, {1.37, 0.81}, {0.5, 1.25}};
    for (const char* name : {"plant.json", "animations.json"}) {
        const Project project = projecttest::compiled(
            projecttest::readFile(projecttest::sourceDir() + "/examples/" + name), name);
        for (const QSizeF scale : scales) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(scale.width()) + " x " +
                         std::to_string(scale.height()));
            Session session(options());
            std::string error;
            ASSERT_TRUE(session.load(project, &error)) << error;
            session.start();
            const QSize own = session.windowSize();
            // The window's own size asked for as such, not as a size equal to it.
            const QSize size = scale == QSizeF(1, 1) ? QSize()
                                                     : QSize(qRound(own.width() * scale.width()),
                                                             qRound(own.height() * scale.height()));
            const QSize shown = size.isEmpty() ? own : size;
            SessionPicture picture;
            std::mt19937 random(5);
            std::string line = "loading";
            for (int n = 0; n <= 30; ++n) {
                if (n > 0) {
                    step(session, project, random, n, &line);
                }
                QRegion painted;
                ASSERT_TRUE(picture.update(session, size, session.takeDamage(), &painted, &error))
                    << error;
                ASSERT_EQ(picture.image().size(), shown);
                if (n == 0) {
                    EXPECT_EQ(painted, QRegion(QRect(QPoint(0, 0), shown)));
                }
                ASSERT_EQ(kvtest::firstDifference(picture.image(), session.render(size)), "")
                    << "step " << n << " (" << line << ")";
            }
        }
    }
}

// What an update paints: the whole picture when it is new, of another size or forgotten; the
// scaled damage, within the picture; nothing when nothing changed.
TEST_F(Picture, AnUpdatePaintsTheDamageOrTheWholePictureWhenItHasNone) {
    ProjectBuilder b;
    b.tag("Show", VarType::Int, 1);
    ObjectRecord lamp = ProjectBuilder::shape("Lamp", 10, 10, 40, 40, 0xFF0000);
    VisibleRecord visible;
    visible.header = b.header("Show");
    lamp.animations.push_back(animationEntry(visible));
    b.window(1, 200, 100).objects = {ProjectBuilder::object(lamp)};
    Session session(options());
    std::string error;
    ASSERT_TRUE(session.load(b.project, &error)) << error;
    session.start();
    SessionPicture picture;
    QRegion painted;
    const auto update = [&](QSize size, const QRegion& damage) {
        EXPECT_TRUE(picture.update(session, size, damage, &painted, &error)) << error;
        return painted;
    };
    const QRect whole(0, 0, 200, 100), twice(0, 0, 400, 200);
    EXPECT_EQ(update(QSize(), session.takeDamage()), QRegion(whole));
    EXPECT_TRUE(update(QSize(), QRegion()).isEmpty());
    // Painted once, whatever the damage says: a new size has no old pixels to keep.
    EXPECT_EQ(update(QSize(400, 200), QRegion()), QRegion(twice));
    EXPECT_EQ(update(QSize(400, 200), QRegion(10, 10, 5, 5)), QRegion(QRect(19, 19, 12, 12)));
    EXPECT_EQ(update(QSize(400, 200), QRegion(190, 90, 30, 30)),
              QRegion(QRect(QPoint(379, 179), QPoint(399, 199))));
    picture.forget();
    EXPECT_TRUE(picture.image().isNull());
    EXPECT_EQ(update(QSize(400, 200), QRegion()), QRegion(twice));
    // A picture that cannot be made: no picture, and a reason.
    EXPECT_FALSE(picture.update(session, QSize(1 << 20, 1 << 20), QRegion(), &painted, &error));
    EXPECT_NE(error, "");
    EXPECT_TRUE(painted.isEmpty());
    EXPECT_TRUE(picture.image().isNull());
    EXPECT_EQ(update(QSize(), QRegion()), QRegion(whole));
}

TEST(SavePng, WritesTheImageWholeOrReportsWhy) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage image(30, 20, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    std::string error;
    const std::string path = dir.filePath("a.png").toStdString();
    ASSERT_TRUE(savePng(image, path, &error)) << error;
    EXPECT_EQ(
        kvtest::firstDifference(
            QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32), image),
        "");
    const std::string nowhere = dir.filePath("missing/a.png").toStdString();
    EXPECT_FALSE(savePng(image, nowhere, &error));
    EXPECT_EQ(error.rfind("cannot write " + nowhere + ": ", 0), 0u) << error;
    EXPECT_FALSE(QDir(dir.filePath("missing")).exists());
}

} // namespace
