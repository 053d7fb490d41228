#include "monitor/alert_state.h"

namespace raid {

const char* SmartWordText(SmartWord word) {
    switch (word) {
        case SmartWord::Good:
            return "Good";
        case SmartWord::Warning:
            return "Warning";
        case SmartWord::Error:
            return "Error";
        case SmartWord::Unknown:
            break;
    }
    return "unknown";
}

}  // namespace raid
