// ctest-link: kestroplay
// The shape gallery: its grid, every shape class drawn in every one of its cells through the
// real plug-in, the variants of a class telling apart.
#include "tests/support/sessiontest.h"
#include "tools/kestro/gallery.h"

#include "runtime/project/shapecatalog.h"

#include <QImage>

#include <map>
#include <set>

using namespace kestro;
using namespace sessiontest;

namespace {

constexpr uint32_t kTextClass = 0x6001; // the host's text class, not a shape of the plug-in

TEST(GalleryGrid, PictureSize) {
    struct Case {
        std::vector<size_t> cells;
        QSize size;
    };
    // Width: 2 margins of 16 and 8 columns of 170. Height: 2 margins of 16, the title 44, then
    // per section a heading of 34 and its rows of 136.
    const Case cases[] = {
        {{}, {1392, 76}},
        {{1}, {1392, 246}},
        {{8}, {1392, 246}},
        {{9, 1}, {1392, 552}},
        {{13, 45, 5, 17, 15}, {1392, 2150}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gallery::pictureSize(c.cells), c.size) << c.cells.size() << " sections";
    }
}

class Gallery : public PluginTest {
protected:
    static int inkIn(const QImage& image, const QRect& area) {
        int ink = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                ink += image.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
            }
        }
        return ink;
    }
};

TEST_F(Gallery, EveryClassIsDrawnInEveryCell) {
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

    std::map<std::string, std::vector<const gallery::PlacedCell*>> byClass;
    for (const gallery::PlacedCell& cell : picture.cells) {
        byClass[cell.className].push_back(&cell);
        SCOPED_TRACE(cell.className + " " + cell.parameters);
        EXPECT_TRUE(picture.image.rect().contains(cell.cell));
        EXPECT_TRUE(cell.cell.contains(cell.object));
        // A shape covers more than a few stray pixels of its rectangle.
        EXPECT_GT(inkIn(picture.image, cell.object), 40);
    }
    for (const ShapeClass& shape : shapeClasses()) {
        if (shape.number != kTextClass) {
            EXPECT_TRUE(byClass.count(shape.name)) << shape.name << " has no cell";
        }
    }
    EXPECT_EQ(byClass.size(), 33u);

    // The variants of a class are drawn from their own fields: no two look the same.
    for (const auto& [name, cells] : byClass) {
        std::set<std::string> seen;
        for (const gallery::PlacedCell* cell : cells) {
            const QImage part = picture.image.copy(QRect(
                cell->cell.topLeft() + gallery::kShapeArea.topLeft(), gallery::kShapeArea.size()));
            const std::string bytes(reinterpret_cast<const char*>(part.constBits()),
                                    static_cast<size_t>(part.sizeInBytes()));
            EXPECT_TRUE(seen.insert(bytes).second)
                << name << " " << cell->parameters << " looks like another variant";
        }
    }
}

} // namespace
