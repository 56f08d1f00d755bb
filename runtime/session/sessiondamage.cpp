#include "runtime/session/sessiondamage.h"

#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/host/gui.h"
#include "runtime/session/drawobjaccess.h"

#include <QPainter>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace kestro {

namespace {

//! The bytes of a view's numbers: everything before its text.
constexpr size_t kViewNumbers = offsetof(DrawObjView, text);

//! What decides where an object paints. Colours, the show state and the clip do not: the
//! extent is measured shown and without the clip.
bool sameGeometry(const DrawObjView& a, const DrawObjView& b) {
    return a.rect == b.rect && a.pen == b.pen && a.logPen.style == b.logPen.style &&
           a.logPen.widthX == b.logPen.widthX && a.brush == b.brush &&
           a.logBrush.style == b.logBrush.style;
}

//! Painted at all: visible, and in the shown phase of a blink (every shape draws nothing in
//! its hidden phase).
bool painted(bool visible, int32_t showState) {
    return visible && showState / 10 != 0;
}

} // namespace

struct DamageTracker::Seen {
    int32_t visible = 0; //!< as the object answered IsVisible
    unsigned char numbers[kViewNumbers] = {};

    void keep(bool isVisible, const DrawObjView& view) {
        visible = isVisible ? 1 : 0;
        std::memcpy(numbers, &view, kViewNumbers);
    }
    bool same(bool isVisible, const DrawObjView& view) const {
        return visible == (isVisible ? 1 : 0) && std::memcmp(numbers, &view, kViewNumbers) == 0;
    }
    //! The numbers into a view, its text untouched.
    void into(DrawObjView* view) const {
        std::memcpy(static_cast<void*>(view), numbers, kViewNumbers);
    }
    int32_t showState() const {
        int32_t state;
        std::memcpy(&state, numbers + offsetof(DrawObjView, showState), sizeof state);
        return state;
    }
};

DamageTracker::DamageTracker(DamageLook where) : m_where(where) {}

DamageTracker::~DamageTracker() = default;

QRect DamageTracker::measure(draw_object_c* object, bool* stepped) {
    if (!m_device) {
        m_device = std::make_unique<ExtentDevice>();
    }
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>(m_device.get());
    }
    ExtentEngine& engine = m_device->engine();
    m_painter->save();
    engine.reset();
    QRect extent;
    try {
        object->Draw(m_painter.get());
        extent = engine.extent();
        *stepped = engine.steppedAlongSpans();
    } catch (...) {
        // Whatever it drew before it threw is not known: the whole window. The paint that
        // meets the same exception records it.
        extent = QRect(QPoint(0, 0), m_size);
        *stepped = true;
    }
    m_painter->restore();
    return extent;
}

void DamageTracker::remember(size_t i) {
    DrawObjView view;
    const bool visible = m_objects[i]->IsVisible();
    readDrawObjView(m_objects[i], &view);
    m_seen[i].keep(visible, view);
    m_texts[i] = std::move(view.text);
}

QRect DamageTracker::extentOf(size_t i) {
    Seen& seen = m_seen[i];
    if (!painted(seen.visible != 0, seen.showState())) {
        return QRect();
    }
    if (!m_measured[i]) {
        bool stepped = false;
        m_shown[i] = measure(m_objects[i], &stepped);
        m_measured[i] = 1;
        if (m_stepped[i] != static_cast<char>(stepped)) {
            m_stepped[i] = static_cast<char>(stepped);
            m_steppedCount += stepped ? 1 : -1;
        }
        // A drawing may put its own rectangle in order (the shapes that normalise do).
        remember(i);
    }
    return m_shown[i];
}

void DamageTracker::lookAll(LoadedWindow& window) {
    m_window = window.number;
    m_size = QSize(window.width, window.height);
    const size_t count = window.objects.size();
    m_objects.resize(count);
    m_seen.assign(count, Seen());
    m_texts.assign(count, std::string());
    m_shown.assign(count, QRect());
    m_measured.assign(count, 0);
    m_stepped.assign(count, 0);
    m_steppedCount = 0;
    m_extents.assign(count, QRect());
    for (size_t i = 0; i < count; ++i) {
        // The list never changes after loading, nor does a window load again.
        m_objects[i] = window.objects[i].object;
        remember(i);
        m_extents[i] = extentOf(i);
    }
    m_grid.reset(m_size, m_extents);
    m_whole = true;
    m_damage.clear();
}

void DamageTracker::look(LoadedWindow& window, uint64_t runs) {
    const bool sameWindow = window.number == m_window &&
                            m_size == QSize(window.width, window.height) &&
                            m_objects.size() == window.objects.size();
    if (sameWindow && runs == m_runs) {
        return;
    }
    m_runs = runs;
    if (!sameWindow) {
        lookAll(window);
    } else if (m_where == DamageLook::Reported) {
        lookReported(window);
    } else {
        lookEverything(window);
    }
    window.reported.assign(window.reported.size(), 0);
}

void DamageTracker::lookReported(LoadedWindow& window) {
    const size_t count = m_objects.size();
    const size_t words = std::min(window.reported.size(), (count + 63) / 64);
    DrawObjView now;
    for (size_t w = 0; w < words; ++w) {
        for (uint64_t bits = window.reported[w]; bits != 0; bits &= bits - 1) {
            const size_t i = w * 64 + static_cast<size_t>(__builtin_ctzll(bits));
            const bool visible = m_objects[i]->IsVisible();
            readDrawObjView(m_objects[i], &now);
            changed(i, visible, now);
        }
    }
}

void DamageTracker::lookEverything(const LoadedWindow& window) {
    // The vectors' storage stays put while the look runs: read through plain pointers, which the
    // objects' calls cannot be thought to move.
    draw_object_c* const* objects = m_objects.data();
    const Seen* seen = m_seen.data();
    const std::string* texts = m_texts.data();
    const uint64_t* reported = window.reported.data();
    const size_t reportedWords = window.reported.size();
    const size_t count = m_objects.size();
    DrawObjView now;
    uint64_t reportedBits = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i % 64 == 0) {
            reportedBits = i / 64 < reportedWords ? reported[i / 64] : 0;
        }
        const bool visible = objects[i]->IsVisible();
        readDrawObjView(objects[i], &now);
        if (((reportedBits >> (i % 64)) & 1) == 0 && seen[i].same(visible, now) &&
            now.text == texts[i]) {
            continue;
        }
        changed(i, visible, now);
    }
}

void DamageTracker::changed(size_t i, bool visible, DrawObjView& now) {
    Seen& seen = m_seen[i];
    DrawObjView before;
    seen.into(&before);
    if (!sameGeometry(now, before) || now.text != m_texts[i]) {
        m_measured[i] = 0;
    }
    seen.keep(visible, now);
    std::swap(m_texts[i], now.text);
    const QRect was = m_extents[i];
    m_extents[i] = extentOf(i);
    if (m_extents[i] != was) {
        m_grid.move(static_cast<uint32_t>(i), was, m_extents[i]);
    }
    if (!m_whole) {
        addDamage(was, m_extents[i]);
    }
}

void DamageTracker::addDamage(const QRect& before, const QRect& after) {
    // A recoloured object paints where it did, a moved one mostly so: one rectangle over both
    // keeps the region small, and a little more repainted is still exact.
    if (!before.isEmpty() && !after.isEmpty() && before.intersects(after)) {
        m_damage.push_back(before | after);
        return;
    }
    for (const QRect& r : {before, after}) {
        if (!r.isEmpty()) {
            m_damage.push_back(r);
        }
    }
}

void DamageTracker::uncutStepped() {
    if (m_steppedCount == 0 || m_damage.empty()) {
        return;
    }
    std::vector<size_t> stepped;
    for (size_t i = 0; i < m_stepped.size(); ++i) {
        if (m_stepped[i] && !m_extents[i].isEmpty()) {
            stepped.push_back(i);
        }
    }
    // Each widening makes a rectangle wider within the objects' reach: it ends.
    for (bool widened = true; widened;) {
        widened = false;
        for (QRect& r : m_damage) {
            for (const size_t i : stepped) {
                const QRect& e = m_extents[i];
                if (r.intersects(e) && (e.left() < r.left() || e.right() > r.right())) {
                    r.setLeft(std::min(r.left(), e.left()));
                    r.setRight(std::max(r.right(), e.right()));
                    widened = true;
                }
            }
        }
    }
}

QRegion DamageTracker::take() {
    const QRect window(QPoint(0, 0), m_size);
    if (!m_whole) {
        uncutStepped();
    }
    QRegion damage = m_whole ? QRegion(window) : unite(m_damage);
    if (!window.contains(damage.boundingRect())) {
        damage &= window;
    }
    m_damage.clear();
    m_whole = false;
    return damage;
}

template <class Visit>
void ExtentGrid::forEachCell(const QRect& r, Visit visit) const {
    if (r.isEmpty() || m_columns == 0 || r.right() < 0 || r.bottom() < 0 ||
        r.left() >= m_columns * kCell || r.top() >= m_rows * kCell) {
        return;
    }
    const int c0 = std::max(r.left(), 0) / kCell;
    const int c1 = std::min(r.right() / kCell, m_columns - 1);
    const int r1 = std::min(r.bottom() / kCell, m_rows - 1);
    for (int row = std::max(r.top(), 0) / kCell; row <= r1; ++row) {
        for (int column = c0; column <= c1; ++column) {
            visit(static_cast<size_t>(row * m_columns + column));
        }
    }
}

void ExtentGrid::reset(QSize size, const std::vector<QRect>& extents) {
    m_columns = std::max(0, (size.width() + kCell - 1) / kCell);
    m_rows = std::max(0, (size.height() + kCell - 1) / kCell);
    if (size.width() <= 0 || size.height() <= 0) {
        m_columns = m_rows = 0;
    }
    m_objects = extents.size();
    m_cells.assign(static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows), {});
    m_visited.assign(m_cells.size(), 0);
    for (size_t i = 0; i < extents.size(); ++i) {
        move(static_cast<uint32_t>(i), QRect(), extents[i]);
    }
}

void ExtentGrid::move(uint32_t index, const QRect& before, const QRect& after) {
    forEachCell(before, [&](size_t at) {
        std::vector<uint32_t>& cell = m_cells[at];
        const auto found = std::lower_bound(cell.begin(), cell.end(), index);
        if (found != cell.end() && *found == index) {
            cell.erase(found);
        }
    });
    forEachCell(after, [&](size_t at) {
        // Filed in index order while the grid is built: then this is an append.
        std::vector<uint32_t>& cell = m_cells[at];
        cell.insert(std::lower_bound(cell.begin(), cell.end(), index), index);
    });
}

bool ExtentGrid::candidates(const QRegion& region, std::vector<uint32_t>* out) const {
    out->clear();
    size_t filed = 0;
    std::vector<size_t> cells;
    for (const QRect& r : region) {
        forEachCell(r, [&](size_t cell) {
            if (!m_visited[cell]) {
                m_visited[cell] = 1;
                cells.push_back(cell);
                filed += m_cells[cell].size();
            }
        });
    }
    for (const size_t cell : cells) {
        m_visited[cell] = 0;
    }
    // Gathering what the cells hold costs more than a glance at every object once it nears
    // their number.
    if (filed * 4 >= m_objects) {
        return false;
    }
    // Marked by index and read back in order: list order without a sort.
    m_marks.assign((m_objects + 63) / 64, 0);
    for (const size_t cell : cells) {
        for (const uint32_t i : m_cells[cell]) {
            m_marks[i / 64] |= uint64_t{1} << (i % 64);
        }
    }
    for (size_t word = 0; word < m_marks.size(); ++word) {
        for (uint64_t bits = m_marks[word]; bits != 0; bits &= bits - 1) {
            out->push_back(
                static_cast<uint32_t>(word * 64 + static_cast<size_t>(__builtin_ctzll(bits))));
        }
    }
    return true;
}

QRegion unite(const std::vector<QRect>& rects) {
    std::vector<QRegion> parts(rects.begin(), rects.end());
    while (parts.size() > 1) {
        size_t kept = 0;
        for (size_t i = 0; i < parts.size(); i += 2) {
            parts[kept++] = i + 1 < parts.size() ? parts[i].united(parts[i + 1]) : parts[i];
        }
        parts.resize(kept);
    }
    return parts.empty() ? QRegion() : parts.front();
}

RegionRows::RegionRows(const QRegion& region)
    : m_rects(region.begin(), region.end()), m_bounds(region.boundingRect()) {
    m_first.reserve(static_cast<size_t>(std::max(m_bounds.height(), 0)));
    int at = 0;
    for (int y = m_bounds.top(); y <= m_bounds.bottom(); ++y) {
        while (at < static_cast<int>(m_rects.size()) &&
               m_rects[static_cast<size_t>(at)].bottom() < y) {
            ++at;
        }
        m_first.push_back(at);
    }
}

void RegionRows::overlapping(const QRect& rect, std::vector<QRect>* out) const {
    out->clear();
    // QRect::intersects is not inline: called for every object of a window, it would count.
    if (m_rects.empty() || rect.left() > m_bounds.right() || rect.right() < m_bounds.left() ||
        rect.top() > m_bounds.bottom() || rect.bottom() < m_bounds.top()) {
        return;
    }
    const int top = std::max(rect.top(), m_bounds.top());
    for (size_t i = static_cast<size_t>(m_first[static_cast<size_t>(top - m_bounds.top())]);
         i < m_rects.size() && m_rects[i].top() <= rect.bottom(); ++i) {
        const QRect& r = m_rects[i];
        if (r.left() <= rect.right() && r.right() >= rect.left()) {
            out->push_back(r);
        }
    }
}

} // namespace kestro
