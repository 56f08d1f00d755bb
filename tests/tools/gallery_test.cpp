// ctest-link: kestroplay
// The shape gallery: every shape class drawn through the real plug-in, in every cell of its grid.
#include "tests/support/sessiontest.h"
#include "tools/kestro/gallery.h"

#include "runtime/project/shapecatalog.h"

#include <QImage>

#include <map>
#include <set>

using namespace kestro;
using namespace sessiontest;

namespace {

using Gallery = PluginTest;

TEST_F(Gallery, EveryClassIsDrawnInEveryCell) {
    // Width: 2 margins of 16 and 8 columns of 170. Height: 2 margins of 16, the title 44, then
    // per section a heading of 34 and its rows of 136.
    EXPECT_EQ(gallery::pictureSize({}), QSize(1392, 76));
    EXPECT_EQ(gallery::pictureSize({9, 1}), QSize(1392, 552));
    gallery::Picture picture;
    std::string error;
    ASSERT_TRUE(gallery::render(s_plugins.get(), &picture, &error)) << error;
    for (const LoadProblem& problem : picture.problems) {
        ADD_FAILURE() << problem.text();
    }
    EXPECT_TRUE(picture.faults.empty());
    std::vector<size_t> counts;
    for (const gallery::Section& section : gallery::sections()) {
        counts.push_back(section.cells.size());
    }
    EXPECT_EQ(picture.image.size(), gallery::pictureSize(counts));

    // Each cell holds its shape, with more than a few stray pixels of ink, and no two variants
    // of a class look the same: each is drawn from its own fields.
    std::map<std::string, std::set<std::string>> looks;
    for (const gallery::PlacedCell& cell : picture.cells) {
        SCOPED_TRACE(cell.className + " " + cell.parameters);
        EXPECT_TRUE(picture.image.rect().contains(cell.cell));
        EXPECT_TRUE(cell.cell.contains(cell.object));
        int ink = 0;
        for (int y = cell.object.top(); y <= cell.object.bottom(); ++y) {
            for (int x = cell.object.left(); x <= cell.object.right(); ++x) {
                ink += picture.image.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
            }
        }
        EXPECT_GT(ink, 40);
        const QImage part = picture.image.copy(
            QRect(cell.cell.topLeft() + gallery::kShapeArea.topLeft(), gallery::kShapeArea.size()));
        EXPECT_TRUE(looks[cell.className]
                        .insert(std::string(reinterpret_cast<const char*>(part.constBits()),
                                            static_cast<size_t>(part.sizeInBytes())))
                        .second)
            << "looks like another variant";
    }
    for (const ShapeClass& shape : shapeClasses()) {
        EXPECT_TRUE(shape.number == 0x6001 || looks.count(shape.name))
            << shape.name; // 0x6001: text
    }
    EXPECT_EQ(looks.size(), 33u);
}

} // namespace
