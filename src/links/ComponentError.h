#pragma once

#include <stdexcept>
#include <string>

namespace corvel {

// What a link component throws when asked to do something it cannot:
// open a port twice, open a port that is missing or busy. The text is the
// one the user sees in the program's standard error box, so it is kept
// exactly as the component words it.
class ComponentError : public std::runtime_error {
public:
    explicit ComponentError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace corvel
