// The reference host as a whole.
#include "runtime/host/host.h"

#include "runtime/host/gui.h"
#include "runtime/host/linguist.h"
#include "runtime/host/logger.h"
#include "runtime/host/rtdb.h"
#include "runtime/host/script.h"
#include "runtime/host/stgy.h"

namespace kestro {

void resetHost() {
    HostLog::instance().clear();
    Linguist::instance().clear();
    Rtdb::instance().clear();
    Gui::instance().clear();
    Strategies::instance().clear();
    ScriptService::instance().clear();
}

} // namespace kestro
