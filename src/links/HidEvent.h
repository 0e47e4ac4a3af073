#pragma once

// An event slot of the HID controller: a callable together with the name
// of the method it is bound to. The controller's setters compare handlers
// by method only, not by the object they are bound to, so the name is kept
// beside the call.

#include <cstring>
#include <functional>
#include <string>
#include <typeinfo>
#include <utility>

namespace corvel {

template <typename Signature>
class HidEvent;

template <typename R, typename... Args>
class HidEvent<R(Args...)> {
public:
    HidEvent() = default;
    // A member function bound to an object.
    template <typename C>
    HidEvent(C* object, R (C::*method)(Args...))
        : call_([object, method](Args... args) -> R { return (object->*method)(args...); }),
          method_(MethodKey(method)) {}
    // Any other callable; `method` names what it does, and two handlers with
    // the same name count as the same method.
    HidEvent(std::string method, std::function<R(Args...)> call)
        : call_(std::move(call)), method_(std::move(method)) {}

    explicit operator bool() const { return static_cast<bool>(call_); }
    R operator()(Args... args) const { return call_(args...); }
    bool SameMethod(const HidEvent& other) const { return method_ == other.method_; }
    const std::string& Method() const { return method_; }

private:
    template <typename M>
    static std::string MethodKey(M method) {
        std::string key = typeid(M).name();
        char bytes[sizeof(M)];
        std::memcpy(bytes, &method, sizeof(M));
        key.append(bytes, sizeof(M));
        return key;
    }

    std::function<R(Args...)> call_;
    std::string method_;
};

}  // namespace corvel
