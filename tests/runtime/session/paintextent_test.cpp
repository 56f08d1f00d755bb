// The extent device: which drawings step their colours along spans, so that a clip edge inside
// them could change a colour.
#include "runtime/session/paintextent.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <gtest/gtest.h>

#include <functional>

using namespace kestro;

namespace {

TEST(ExtentEngine, TellsWhichDrawingsStepTheirColoursAlongSpans) {
    const QRect box(10, 10, 40, 20);
    QLinearGradient linear(box.topLeft(), box.topRight());
    linear.setColorAt(0, Qt::blue);
    linear.setColorAt(1, Qt::white);
    const QRadialGradient radial(box.center(), 15);
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const struct {
        const char* what;
        std::function<void(QPainter&)> draw;
        bool stepped;
    } cases[] = {
        {"a solid fill", [&](QPainter& p) { p.fillRect(box, Qt::blue); }, false},
        {"a hatched fill", [&](QPainter& p) { p.fillRect(box, Qt::Dense4Pattern); }, false},
        {"a solid outline",
         [&](QPainter& p) {
             p.setPen(QPen(Qt::black, 3));
             p.drawLine(box.topLeft(), box.bottomRight());
         },
         false},
        {"a linear gradient", [&](QPainter& p) { p.fillRect(box, linear); }, true},
        {"a radial gradient",
         [&](QPainter& p) {
             p.setBrush(radial);
             p.drawEllipse(box);
         },
         true},
        {"a texture", [&](QPainter& p) { p.fillRect(box, QBrush(picture)); }, true},
        {"a gradient outline",
         [&](QPainter& p) {
             p.setPen(QPen(QBrush(linear), 3));
             p.drawLine(box.topLeft(), box.bottomRight());
         },
         true},
        {"a gradient pen put away",
         [&](QPainter& p) {
             p.setPen(QPen(QBrush(linear), 3));
             p.setPen(Qt::NoPen);
             p.fillRect(box, Qt::blue);
         },
         false},
        {"an image", [&](QPainter& p) { p.drawImage(box, picture); }, true},
    };
    ExtentDevice device;
    QPainter painter(&device);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        painter.save();
        device.engine().reset();
        c.draw(painter);
        EXPECT_EQ(device.engine().steppedAlongSpans(), c.stepped);
        EXPECT_TRUE(device.engine().extent().contains(box.adjusted(1, 1, -1, -1)));
        painter.restore();
    }
}

} // namespace
