#include "notify/smtp/dot_stuffing.h"

namespace raid {

std::string DotStuffed(std::string_view line) {
    if (!line.empty() && line.front() == '.') {
        return "." + std::string(line);
    }
    return std::string(line);
}

}  // namespace raid
