// Class registry (host library rtti): the run-time type scheme of every registered object.
#pragma once

#include "kestrovalumen/host/hostapi.h"

#include <cstdint>
#include <string>

namespace rtti {

class clazz_c;

//! Root of every object that the class registry creates.
class KV_HOST_API object_c {
public:
    //! The descriptor of the object's class ("object_c" here).
    virtual const clazz_c* get_clazz() const;
    //! True exactly when cast_to(clazz) yields non-null.
    virtual bool is_kind_of(const clazz_c* clazz) const = 0;
    //! The object itself when it recognises the descriptor, else null.
    virtual object_c* cast_to(const clazz_c* clazz) = 0;
    virtual ~object_c();

    //! The descriptor of object_c itself: "object_c", number 0, no instances.
    static clazz_c* static_clazz();
};

//! Class descriptor: one instance per class, compared by address.
class KV_HOST_API clazz_c {
public:
    //! A new instance of the class, or null where it cannot be instantiated.
    virtual object_c* create_object() const;
    virtual std::string class_name() const = 0;
    virtual uint32_t class_id() const = 0;
    virtual ~clazz_c();
};

} // namespace rtti

//! Hands a descriptor to the registry; 0 when it was accepted.
KV_HOST_API int __register_class(rtti::clazz_c* descriptor);
//! Withdraws a descriptor; 0 when it was registered.
KV_HOST_API int __unregister_class(rtti::clazz_c* descriptor);
