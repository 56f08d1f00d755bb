// The drawing classes and their record fields. Each layout binds field names to the members of
// the writer's field struct, so the bytes come from the shape record encoders and the stream
// reader's decoders; only names, order and friendly defaults live here.
#include "runtime/project/shapecatalog.h"

#include "kestrovalumen/shapeclasses.h"
#include "runtime/project/textfields.h"

#include <stdexcept>
#include <type_traits>
#include <variant>

namespace kestro {

namespace {

template <class Fields>
class StructLayout final : public ShapeLayout {
public:
    using Member =
        std::variant<int32_t Fields::*, uint16_t Fields::*, std::optional<uint16_t> Fields::*,
                     uint32_t Fields::*, std::string Fields::*, std::vector<Point32> Fields::*>;
    struct Binding {
        const char* name;
        Member member;
    };

    StructLayout(Fields defaults, std::initializer_list<Binding> bindings)
        : m_defaults(std::move(defaults)), m_bindings(bindings) {
        for (const Binding& binding : m_bindings) {
            m_fields.push_back({binding.name, kindOf(binding.member)});
        }
    }

    const std::vector<ShapeField>& fields() const override { return m_fields; }

    ShapeValues defaults() const override { return valuesOf(m_defaults); }

    std::string encode(const ShapeValues& values) const override {
        Fields fields = m_defaults;
        for (const Binding& binding : m_bindings) {
            const auto found = values.find(binding.name);
            if (found != values.end()) {
                assign(fields, binding.member, found->second);
            }
        }
        return encodeFields(fields);
    }

    bool decode(StreamReader& in, ShapeValues* values) const override {
        Fields fields{};
        if (!readFields(in, &fields)) {
            return false;
        }
        *values = valuesOf(fields);
        return true;
    }

private:
    static ShapeFieldKind kindOf(const Member& member) {
        static constexpr ShapeFieldKind kKinds[] = {
            ShapeFieldKind::Int32, ShapeFieldKind::UInt16, ShapeFieldKind::OptionalUInt16,
            ShapeFieldKind::Color, ShapeFieldKind::Text,   ShapeFieldKind::Points};
        return kKinds[member.index()];
    }

    ShapeValues valuesOf(const Fields& fields) const {
        ShapeValues values;
        for (const Binding& binding : m_bindings) {
            values[binding.name] = read(fields, binding.member);
        }
        return values;
    }

    static ShapeValue read(const Fields& fields, const Member& member) {
        ShapeValue value;
        // No bindings on an empty struct; the branch spares the compiler its member access.
        if constexpr (!std::is_empty_v<Fields>) {
            std::visit(
                [&](auto pointer) {
                    using T = std::decay_t<decltype(fields.*pointer)>;
                    const T& field = fields.*pointer;
                    if constexpr (std::is_same_v<T, std::string>) {
                        value.text = field;
                    } else if constexpr (std::is_same_v<T, std::vector<Point32>>) {
                        value.points = field;
                    } else if constexpr (std::is_same_v<T, std::optional<uint16_t>>) {
                        value.present = field.has_value();
                        value.number = field.value_or(0);
                    } else {
                        value.number = field;
                    }
                },
                member);
        }
        return value;
    }

    // The JSON side has checked the value's range against the field's kind.
    static void assign(Fields& fields, const Member& member, const ShapeValue& value) {
        if constexpr (!std::is_empty_v<Fields>) {
            std::visit(
                [&](auto pointer) {
                    using T = std::decay_t<decltype(fields.*pointer)>;
                    T& field = fields.*pointer;
                    if constexpr (std::is_same_v<T, std::string>) {
                        field = value.text;
                    } else if constexpr (std::is_same_v<T, std::vector<Point32>>) {
                        field = value.points;
                    } else if constexpr (std::is_same_v<T, std::optional<uint16_t>>) {
                        field = value.present
                                    ? std::optional<uint16_t>(static_cast<uint16_t>(value.number))
                                    : std::nullopt;
                    } else {
                        field = static_cast<T>(value.number);
                    }
                },
                member);
        }
    }

    Fields m_defaults;
    std::vector<Binding> m_bindings;
    std::vector<ShapeField> m_fields;
};

// Layouts, with the defaults a hand-written project starts from.
using PD = PercentDirectionFields;

const StructLayout<NoShapeFields> kNone({}, {});
const StructLayout<RoundRectFields> kRoundRect({20, 20},
                                               {{"cornerWidth", &RoundRectFields::cornerWidth},
                                                {"cornerHeight", &RoundRectFields::cornerHeight}});
// Stream order: the end pair first.
const StructLayout<ArcFields> kArc({}, {{"endXPercent", &ArcFields::endXPercent},
                                        {"endYPercent", &ArcFields::endYPercent},
                                        {"startXPercent", &ArcFields::startXPercent},
                                        {"startYPercent", &ArcFields::startYPercent}});
// The percent layouts differ only in the default percent.
StructLayout<PD> percentDirectionLayout(int32_t percent) {
    PD fields;
    fields.percent = percent;
    return StructLayout<PD>(fields, {{"percent", &PD::percent}, {"direction", &PD::direction}});
}
StructLayout<PercentFields> percentLayout(int32_t percent) {
    return StructLayout<PercentFields>(PercentFields{percent},
                                       {{"percent", &PercentFields::percent}});
}
const StructLayout<PD> kPercent25Direction = percentDirectionLayout(25);
const StructLayout<PD> kPercent30Direction = percentDirectionLayout(30);
const StructLayout<PD> kPercent40Direction = percentDirectionLayout(40);
const StructLayout<PD> kPercent50Direction = percentDirectionLayout(50);
const StructLayout<PercentFields> kPercent30 = percentLayout(30);
const StructLayout<PercentFields> kPercent50 = percentLayout(50);
const StructLayout<DirectionFields> kDirection({}, {{"direction", &DirectionFields::direction}});
const StructLayout<PolyFields> kPoly({}, {{"pointCount", &PolyFields::pointCount},
                                          {"polyReserved", &PolyFields::reserved},
                                          {"closed", &PolyFields::closed},
                                          {"points", &PolyFields::points}});
const StructLayout<GuanFields> kGuan({}, {{"pipeWidth", &GuanFields::pipeWidth},
                                          {"pointCount", &GuanFields::pointCount},
                                          {"points", &GuanFields::path}});
const StructLayout<HalfBoxFields> kHalfBox({}, {{"cornerWidth", &HalfBoxFields::cornerWidth},
                                                {"cornerHeight", &HalfBoxFields::cornerHeight},
                                                {"verticalSplit", &HalfBoxFields::verticalSplit},
                                                {"otherHalf", &HalfBoxFields::otherHalf}});
const StructLayout<Ball3DFields> kBall3D({}, {{"ballReserved1", &Ball3DFields::reserved1},
                                              {"ballReserved2", &Ball3DFields::reserved2}});
const StructLayout<Circle3DFields> kCircle3D(Circle3DFields{100, 0},
                                             {{"ringWidth", &Circle3DFields::ringWidth},
                                              {"circleReserved", &Circle3DFields::reserved}});
const StructLayout<CubeFields> kCube(CubeFields{70, 1, 1},
                                     {{"percent", &CubeFields::percent},
                                      {"frontLeft", &CubeFields::frontLeft},
                                      {"frontBottom", &CubeFields::frontBottom}});
const StructLayout<PipeFields> kPipe(PipeFields{1}, {{"horizontal", &PipeFields::horizontal}});
const StructLayout<Pipe3Fields> kPipe3(Pipe3Fields{0, 10, 10},
                                       {{"elbowType", &Pipe3Fields::elbowType},
                                        {"horzThick", &Pipe3Fields::horzThick},
                                        {"vertThick", &Pipe3Fields::vertThick}});
// Stream order: side, at-end flag, position.
const StructLayout<BalloonFields> kBalloon(BalloonFields{0, 0, 100},
                                           {{"tailSide", &BalloonFields::tailSide},
                                            {"tailAtEnd", &BalloonFields::tailAtEnd},
                                            {"tailPos", &BalloonFields::tailPos}});
const StructLayout<TextFields> kText({}, {{"text", &TextFields::text},
                                          {"fontSize", &TextFields::fontPixelSize},
                                          {"alignment", &TextFields::alignment},
                                          {"color", &TextFields::color},
                                          {"bold", &TextFields::bold}});

// The shapes' own fields; a class missing here has only the common record.
const std::map<std::string, const ShapeLayout*>& ownLayouts() {
    static const std::map<std::string, const ShapeLayout*> kLayouts = {
        {"CDrawArc", &kArc},
        {"CDrawRoundRect", &kRoundRect},
        {"CDrawPoly", &kPoly},
        {"CDrawParallelogram", &kPercent25Direction},
        {"CDrawTrapezoid", &kPercent50Direction},
        {"CDrawOctagon", &kPercent30},
        {"CDrawBalloon", &kBalloon},
        {"CDrawCross", &kPercent50},
        {"CDrawCube", &kCube},
        {"CDrawPentagon", &kPercent30Direction},
        {"CDrawHexagon", &kPercent25Direction},
        {"CDrawIsoscelestriangle", &kPercent50Direction},
        {"CDrawRighttrigngle", &kDirection},
        {"CDrawStar", &kDirection},
        {"CDrawGuan", &kGuan},
        {"CDrawHalfBox", &kHalfBox},
        {"CDrawArrow1", &kPercent40Direction},
        {"CDrawArrow2", &kPercent40Direction},
        {"CDrawArrow3", &kDirection},
        {"CDrawPipe1", &kPipe},
        {"CDrawPipe2", &kPipe},
        {"CDrawPipe3", &kPipe3},
        {"CDrawBall3D", &kBall3D},
        {"CDrawCircle3D", &kCircle3D},
        {"CDrawPentagon3D", &kPercent30Direction},
    };
    return kLayouts;
}

std::vector<ShapeClass> buildShapeClasses() {
    std::vector<ShapeClass> classes;
    const auto& layouts = ownLayouts();
    size_t bound = 0;
    for (const kv::ShapeClassEntry& entry : kv::kShapeClassTable) {
        const auto found = layouts.find(entry.name);
        bound += found != layouts.end() ? 1 : 0;
        classes.push_back(
            {entry.name, entry.number, found != layouts.end() ? found->second : &kNone});
    }
    if (bound != layouts.size()) {
        throw std::logic_error("a record layout names no shape class of the module");
    }
    classes.push_back({"CDrawText", kDrawTextClass, &kText});
    return classes;
}

} // namespace

const std::vector<ShapeClass>& shapeClasses() {
    static const std::vector<ShapeClass> kClasses = buildShapeClasses();
    return kClasses;
}

const ShapeClass* findShapeClass(const std::string& name) {
    for (const ShapeClass& shape : shapeClasses()) {
        if (name == shape.name) {
            return &shape;
        }
    }
    return nullptr;
}

const ShapeClass* findShapeClass(uint32_t number) {
    for (const ShapeClass& shape : shapeClasses()) {
        if (number == shape.number) {
            return &shape;
        }
    }
    return nullptr;
}

} // namespace kestro
