#include "app/escaped_exception.h"

namespace raid {

std::string EscapedExceptionText(const std::exception_ptr& escaped) {
    try {
        std::rethrow_exception(escaped);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "An unknown exception occurred.";
    }
}

}  // namespace raid
