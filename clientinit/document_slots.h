// Where a run's client init document goes. Slot 1 is the document's own path,
// slot n the same name with "-n" before its extension; each client reads its own.
#pragma once

#include <string>

#include "platform.h"

// Moves the written file into the lowest slot of documentPath that is neither held (written within the hold
// time: its client may not have read it yet) nor held open by another program, under the directory's lock;
// with none free, into the oldest. True with slotPath set; false with slotPath and errorText naming the
// refusal.
bool KeepInFreeSlot(TemporaryFile& file, const std::string& documentPath, std::string& slotPath,
                    std::string& errorText);
