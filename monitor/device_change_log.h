#pragma once

#include "device/device_state.h"
#include "monitor/event_log.h"
#include "monitor/mail_request.h"

namespace raid {

// After a discovery other than the first, before the new device table
// replaces the old one: compares the old table (`devices.table`, identified by
// `previousBlocks`) with the new one (`devices.newTable`, by `blocks`) and
// queues arrival and departure lines for the next DetectEvents. Two entries
// are the same enclosure when their blocks name the same one (SameEnclosure)
// and, among enclosures that share that identity, sit on the same disk.
// Every departure asks for a kind-2 notification mail.
void RecordDeviceSetChange(EventLogState& state, const DeviceState& devices, MailRequestSink& mail);

}  // namespace raid
