#pragma once

#include <string>

#include "device/dialogs.h"
#include "maintenance/smart_store.h"
#include "monitor/status_sink.h"

namespace raid {

// Writes the data sectors of both drives of the first enclosure (1024 bytes)
// to "dSMART00.bin" and their threshold sectors to "sSMART00.bin" in
// `folder`. A name that exists steps its last character through 0-9 and A-Z;
// an existing file is never overwritten. Results go to status panel 4, a
// file that cannot be written to a message box.
void DumpSmartSectors(const SmartStore& store, const std::string& folder, StatusSink& status,
                      Dialogs& dialogs);

}  // namespace raid
