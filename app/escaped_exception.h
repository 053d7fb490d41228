#pragma once

#include <exception>
#include <string>

namespace raid {

// The text an error display shows for an exception that escaped a handler:
// what() of a standard exception, a fixed text for anything else.
std::string EscapedExceptionText(const std::exception_ptr& escaped);

}  // namespace raid
