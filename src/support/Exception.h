#pragma once

#include <stdexcept>
#include <string>

namespace linkvane {

/// An error that carries a message text for the user. The runner catches these
/// only around a single link; everywhere else they end the operation and the
/// message reaches the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

/// printf-style formatting of a message with %s and %d arguments given as text.
/// Each "%s" or "%d" takes the next argument; "%%" is a percent sign.
std::string FormatMessage(const std::string& format, std::initializer_list<std::string> args);

} // namespace linkvane
