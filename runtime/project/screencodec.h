// Drawing objects between the project file and their records: compiling an object's JSON into
// its record (common record, events, animations, class fields) and dumping a record back into
// JSON that compiles to the same bytes.
#pragma once

#include "runtime/project/jsonout.h"
#include "runtime/project/jsonsource.h"
#include "runtime/project/project.h"
#include "runtime/stream/reader.h"

#include <limits>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace kestro {

//! Tag names and their indices in Project::tags: what expressions and inputs refer to.
class TagTable {
public:
    explicit TagTable(const std::vector<TagDef>& tags);
    //! -1 for an unknown name.
    int index(const std::string& name) const;
    //! "" for an index that names no tag.
    std::string name(int index) const;

private:
    std::vector<std::string> m_names;
    std::map<std::string, int> m_indices;
};

struct ScreenContext {
    AnimationHeader::Form form = AnimationHeader::Form::Current;
    const TagTable* tags = nullptr;
};

//! One compiled animation: its list entry and the sources of its programs.
struct CompiledAnimation {
    AnimationEntry entry;
    std::string source;
    //! Program limits of a value input (the animation index is the caller's).
    std::vector<LimitSource> limits;
};

//! where names the animation in messages ("window 1 'Main', object 2, animation 1 (brush)").
CompiledAnimation compileAnimation(const Node& node, const ScreenContext& context,
                                   const std::string& where);
//! The JSON of a list entry; a record that does not decode, or whose JSON would not compile to
//! the same bytes, comes out as its raw bytes.
JsonOut dumpAnimation(const AnimationEntry& entry, const std::string& source,
                      const std::vector<LimitSource>& limits, const ScreenContext& context);

//! where names the window ("window 1 'Main'"); index is the object's place in it.
ObjectDef compileObject(const Node& node, const ScreenContext& context, const std::string& where,
                        size_t index);
//! The JSON of an object; compileObject gives back the same record and sources.
JsonOut dumpObject(const ObjectDef& object, const ScreenContext& context);

//! The name in a record's common part; "" when that part does not decode.
std::string objectNameOf(const std::string& record);
//! The catalog's name of a class number; "" for a number the catalog does not know.
std::string classNameOf(uint32_t number);

//! Compiles an expression with the tags of the context; fails at its place in node.
std::string compileExpression(const Node& node, const ScreenContext& context,
                              const std::string& where);
//! The program an expression compiles to, or nothing when it does not compile.
bool expressionProgram(const std::string& source, const ScreenContext& context,
                       std::string* program);

//! A program given as "expression" (source, compiled) or "program" (hex bytes, with the source
//! kept as written).
struct ProgramSlot {
    std::string program;
    std::string source;
};
ProgramSlot compileProgramSlot(const Node& owner, const char* sourceKey, const char* programKey,
                               const ScreenContext& context, const std::string& where);
void dumpProgramSlot(JsonOut& out, const std::string& program, const std::string& source,
                     const char* sourceKey, const char* programKey, const ScreenContext& context);

//! Optional members of an object node: each reader leaves field as it is when node has no
//! member key. Integers must lie in the field type's range; texts are record texts.
template <class T>
void readField(const Node& node, const char* key, T* field) {
    static_assert(std::is_integral_v<T>);
    const Node value = node[key];
    if (value.exists()) {
        *field = static_cast<T>(
            value.toInteger(std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
    }
}
void readField(const Node& node, const char* key, float* field);
void readField(const Node& node, const char* key, std::string* field);
void readColor(const Node& node, const char* key, uint32_t* field);

//! Serialises json, reads it back and hands the root node to check; false when the text does
//! not parse or check throws.
template <class Check>
bool readsBack(const JsonOut& json, Check check) {
    JsonSource source;
    if (!source.parse(json.text(), "", nullptr)) {
        return false;
    }
    try {
        return check(source.root());
    } catch (const SourceFailure&) {
        return false;
    }
}

} // namespace kestro
