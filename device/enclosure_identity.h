#pragma once

#include "device/device_state.h"

namespace raid {

// Whether two controller blocks, from two discoveries, describe the same
// enclosure. Only what an enclosure keeps while it runs is compared: the
// firmware bytes (version and product family), the name, and the environment
// bytes that tell whether it reports temperature and fan. Temperature, fan
// speed, the buzzer byte and the backup countdown move between two reads of
// one enclosure and must not make it look like another.
bool SameEnclosure(const ControllerBlock& a, const ControllerBlock& b);

}  // namespace raid
