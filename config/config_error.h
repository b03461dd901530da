// A configuration problem that ends Load; the message names the file and line.
#pragma once

#include <stdexcept>

namespace config {

class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace config
