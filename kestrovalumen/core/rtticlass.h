// Run-time type glue of the module's classes: the nested descriptor class, its one instance and
// the three object-side type operations.
#pragma once

#include "kestrovalumen/host/rtti.h"

#include <cstdint>
#include <string>

namespace kv {

//! Which root descriptors a class answers to, besides CDrawObj and itself.
enum class Recognition {
    WithInterface,    //!< object_c, draw_object_c, CDrawObj, itself
    WithoutInterface, //!< object_c, CDrawObj, itself
};

//! cast_to by descriptor address, in the order root first, the class itself last.
rtti::object_c* CastByTable(rtti::object_c* object, const rtti::clazz_c* clazz,
                            Recognition recognition, const rtti::clazz_c* self);

} // namespace kv

// Declares, inside a class, its descriptor class clazz_c<Class>, the accessor of the one
// descriptor instance and the type operations.
#define KV_DECLARE_DYNAMIC(Class)                                                                  \
public:                                                                                            \
    class clazz_c##Class : public rtti::clazz_c {                                                  \
    public:                                                                                        \
        rtti::object_c* create_object() const override;                                            \
        std::string class_name() const override;                                                   \
        uint32_t class_id() const override;                                                        \
    };                                                                                             \
    static clazz_c##Class* static_clazz();                                                         \
    const rtti::clazz_c* get_clazz() const override;                                               \
    bool is_kind_of(const rtti::clazz_c* clazz) const override;                                    \
    rtti::object_c* cast_to(const rtti::clazz_c* clazz) override;

// Defines what KV_DECLARE_DYNAMIC declared. The descriptor is built on first use (once, also
// under concurrent first use) and lives until the module is unloaded.
#define KV_IMPLEMENT_DYNAMIC(Class, Number, RecognitionKind)                                       \
    Class::clazz_c##Class* Class::static_clazz() {                                                 \
        static clazz_c##Class instance;                                                            \
        return &instance;                                                                          \
    }                                                                                              \
    rtti::object_c* Class::clazz_c##Class::create_object() const {                                 \
        return new Class;                                                                          \
    }                                                                                              \
    std::string Class::clazz_c##Class::class_name() const {                                        \
        return #Class;                                                                             \
    }                                                                                              \
    uint32_t Class::clazz_c##Class::class_id() const {                                             \
        return Number;                                                                             \
    }                                                                                              \
    const rtti::clazz_c* Class::get_clazz() const {                                                \
        return static_clazz();                                                                     \
    }                                                                                              \
    bool Class::is_kind_of(const rtti::clazz_c* clazz) const {                                     \
        return const_cast<Class*>(this)->cast_to(clazz) != nullptr;                                \
    }                                                                                              \
    rtti::object_c* Class::cast_to(const rtti::clazz_c* clazz) {                                   \
        return kv::CastByTable(this, clazz, kv::Recognition::RecognitionKind, static_clazz());     \
    }
