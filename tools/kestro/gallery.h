// A picture of every shape class of the drawing plug-in, in its orientations and parameters: one
// cell per variant, labelled with the class name and the parameters, under a heading per family.
//
// The objects are made as a runtime makes them: each cell is an object record (the common record
// from the stream writer, the class's own fields from the shape record encoders), placed in one
// window of a project that a session loads, so every object comes from its class descriptor in
// the registry and reads its record through its own deserialize. The session paints the window;
// the labels go on top.
#pragma once

#include "runtime/session/session.h"
#include "runtime/stream/writer.h"

#include <QImage>
#include <QRect>
#include <QSize>

#include <functional>
#include <string>
#include <vector>

namespace kestro::gallery {

// The grid, in pixels.
constexpr int kMargin = 16;        //!< around the whole picture
constexpr int kTitleHeight = 44;   //!< the picture's title, above the first heading
constexpr int kHeadingHeight = 34; //!< above each family
constexpr int kColumns = 8;
constexpr int kCellWidth = 170;
constexpr int kCellHeight = 136;
//! The area of a cell that the shape is centred in (cell coordinates); the label goes below:
//! the class name on one line, the parameters on up to two.
constexpr QRect kShapeArea{31, 8, 108, 80};

//! One variant of one class.
struct Cell {
    std::string className;
    std::string parameters; //!< the label's second line
    QSize size;             //!< of the object's rectangle, centred in kShapeArea
    //! The record, for the object's rectangle (right and bottom exclusive) in the window.
    std::function<ObjectRecord(const QRect& rect)> record;
    //! The class's own fields, for the same rectangle.
    std::function<std::string(const QRect& rect)> fields;
};

struct Section {
    std::string title;
    std::vector<Cell> cells;
};

//! The families and their cells, in picture order.
std::vector<Section> sections();

//! Where a cell went in the picture.
struct PlacedCell {
    std::string className;
    std::string parameters;
    int section = 0;
    QRect cell;   //!< the whole cell
    QRect object; //!< the object's rectangle (right and bottom exclusive as a QRect's are not:
                  //!< QRect(left, top, width, height))
};

struct Picture {
    QImage image;
    std::vector<PlacedCell> cells;
    std::vector<LoadProblem> problems; //!< records that did not load cleanly
    std::vector<SessionFault> faults;  //!< exceptions out of Draw
};

//! The picture's size for sections holding these numbers of cells.
QSize pictureSize(const std::vector<size_t>& cellsPerSection);

//! Loads every cell through the plug-ins' classes and paints the picture; false with a reason
//! when the session cannot load the project at all.
bool render(const PluginSet* plugins, Picture* picture, std::string* error);

} // namespace kestro::gallery
