#pragma once

#include <stdexcept>

namespace tavrel {

// A device object that cannot be made: "Device cannot be opened", "Device cannot be identified".
class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tavrel
