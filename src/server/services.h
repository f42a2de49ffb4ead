// The services every screen is given; each has a real implementation and a test double.
#pragma once

#include "common/clock.h"
#include "platform/card_reader.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/printer_system.h"
#include "server/central_server.h"

namespace quorvalis {

struct Services {
  Clock& clock;
  CentralServer& server;
  CardReader& cardReader;
  Desktop& desktop;
  Dialogs& dialogs;
  PrinterSystem& printers;
};

}  // namespace quorvalis
