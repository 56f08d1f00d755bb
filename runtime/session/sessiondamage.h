// What changed on the current window between two looks: the region a viewer repaints.
//
// The first look at a window reads every object through drawobjaccess (rectangle, show state,
// outline, fill, clip, text). Later looks read the objects whose run reported a change since
// (or, looking at everything, every object) and compare them with what the last look read.
// An object that reported or differs damages where it painted before and where it paints
// now. Where an object paints is measured on the extent device (paintextent.h) when its
// geometry (rectangle, outline and fill flags and styles, pen width, text) differs from the
// last measure: colours, blinking and clipping reuse the measure. Another window, or a window
// of another size, damages the whole window.
#pragma once

#include "runtime/session/paintextent.h"
#include "runtime/session/session.h"

#include <QRect>
#include <QRegion>
#include <QSize>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct DrawObjView;

namespace kestro {

//! The objects of a window by the cells of a fixed grid that their extents touch: which objects
//! may meet a small region, found without asking every object of the window.
class ExtentGrid {
public:
    //! Cells of this many pixels a side.
    static constexpr int kCell = 32;

    //! Files every extent (empty ones nowhere) on a grid over a window of that size.
    void reset(QSize size, const std::vector<QRect>& extents);
    //! Object index's extent went from before to after.
    void move(uint32_t index, const QRect& before, const QRect& after);
    //! Into out, ascending and each once, every object whose extent meets a rectangle of the
    //! region (and maybe a few more); false, out empty, when asking every object is cheaper.
    bool candidates(const QRegion& region, std::vector<uint32_t>* out) const;

private:
    //! visit(cell index) for every cell the rectangle touches.
    template <class Visit>
    void forEachCell(const QRect& r, Visit visit) const;

    int m_columns = 0;
    int m_rows = 0;
    size_t m_objects = 0;
    std::vector<std::vector<uint32_t>> m_cells; //!< row by row; each ascending
    mutable std::vector<char> m_visited;        //!< per cell, for candidates()
    mutable std::vector<uint64_t> m_marks;      //!< per object a bit, for candidates()
};

class DamageTracker {
public:
    explicit DamageTracker(DamageLook where = DamageLook::Reported);
    ~DamageTracker();

    //! Looks at the window unless nothing has run since the last look at it (runs: the
    //! session's count of runs), adding what changed to the damage.
    void look(LoadedWindow& window, uint64_t runs);
    //! The damage since the last take, within the window, and forgets it.
    QRegion take();
    //! Per object of the window last looked at: where it painted then (empty when it did not).
    const std::vector<QRect>& extents() const { return m_extents; }
    //! The same extents by grid cell.
    const ExtentGrid& grid() const { return m_grid; }

private:
    struct Seen; // per object: the numbers the last look read

    void lookAll(LoadedWindow& window);
    //! Looks again at the objects whose run reported a change.
    void lookReported(LoadedWindow& window);
    //! Looks again at every object.
    void lookEverything(const LoadedWindow& window);
    //! Reads object i as it is now into what the last look read.
    void remember(size_t i);
    //! Object i's extent now, measuring it when its geometry is not the one measured.
    QRect extentOf(size_t i);
    //! Where the object paints, and whether its colours step along spans (paintextent.h).
    QRect measure(draw_object_c* object, bool* stepped);
    //! Widens each damaged rectangle over the whole width of every object it meets whose
    //! colours step along spans, until it cuts none: a clip edge inside such an object would
    //! start its spans where a whole repaint does not, and a colour may round the other way.
    void uncutStepped();
    //! Object i now looks so (its text taken), or its run reported a change.
    void changed(size_t i, bool visible, DrawObjView& now);
    //! Where an object painted before and paints now, to the damage.
    void addDamage(const QRect& before, const QRect& after);

    DamageLook m_where;
    int m_window = -1;
    QSize m_size;
    uint64_t m_runs = 0;
    // Read for every object after every event, and so apart from what a change alone needs:
    // the fewer bytes a look walks through, the sooner it is done.
    std::vector<draw_object_c*> m_objects;
    std::vector<Seen> m_seen;
    std::vector<std::string> m_texts; //!< per object, as the last look read it
    std::vector<QRect> m_shown;       //!< per object, where it paints while shown
    std::vector<char> m_measured;     //!< per object: m_shown holds its geometry's extent
    std::vector<char> m_stepped;      //!< per object: its last measure stepped along spans
    size_t m_steppedCount = 0;
    std::vector<QRect> m_extents;
    ExtentGrid m_grid;
    std::vector<QRect> m_damage; //!< not yet taken
    bool m_whole = false;        //!< the whole window is damaged
    std::unique_ptr<ExtentDevice> m_device;
    std::unique_ptr<QPainter> m_painter; //!< on m_device from the first measure on
};

//! The union of the rectangles, merged in pairs (one at a time costs the square of the count).
QRegion unite(const std::vector<QRect>& rects);

//! A region's rectangles found by row. They run down the region in bands that do not overlap,
//! so their bottoms never fall: each row keeps where the rectangles that can reach it begin.
class RegionRows {
public:
    explicit RegionRows(const QRegion& region);

    //! The rectangles of the region that overlap the rectangle.
    void overlapping(const QRect& rect, std::vector<QRect>* out) const;

private:
    std::vector<QRect> m_rects;
    QRect m_bounds;
    std::vector<int> m_first; //!< per row of m_bounds, the first rectangle not above it
};

} // namespace kestro
