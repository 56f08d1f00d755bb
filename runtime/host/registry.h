// Class registry of the reference host: the descriptors handed over by __register_class, by
// number and by name, in registration order. __register_class returns 0 when the descriptor was
// kept and 1 when it was refused; __unregister_class 0 when it was withdrawn, else 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rtti {
class clazz_c;
class object_c;
} // namespace rtti

namespace kestro {

class ClassRegistry {
public:
    static ClassRegistry& instance();

    //! Keeps the descriptor; refuses (false) a null one or a second one with the same number.
    bool add(rtti::clazz_c* descriptor);
    //! Withdraws the descriptor; false when it was not registered.
    bool remove(rtti::clazz_c* descriptor);

    //! The registered descriptor with that class number, or null.
    rtti::clazz_c* byNumber(uint32_t number) const;
    //! The registered descriptor with exactly that class name, or null.
    rtti::clazz_c* byName(const std::string& name) const;
    //! A new object of the class, or null when the class is unknown or has no instances.
    rtti::object_c* create(uint32_t number) const;
    rtti::object_c* create(const std::string& name) const;
    //! Registered descriptors in registration order.
    const std::vector<rtti::clazz_c*>& classes() const { return m_classes; }
    //! Every registration and withdrawal in call order (true: register), also refused ones.
    struct Event {
        bool registered;
        rtti::clazz_c* descriptor;
        bool accepted;
    };
    const std::vector<Event>& history() const { return m_history; }
    //! Forgets the history; the registered descriptors stay.
    void clearHistory() { m_history.clear(); }

private:
    ClassRegistry() = default;
    std::vector<rtti::clazz_c*> m_classes;
    std::vector<Event> m_history;
};

} // namespace kestro
