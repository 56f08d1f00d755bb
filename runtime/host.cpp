// The reference host as a whole.
#include "runtime/host.h"

#include "runtime/gui.h"
#include "runtime/linguist.h"
#include "runtime/logger.h"
#include "runtime/rtdb.h"
#include "runtime/script.h"
#include "runtime/stgy.h"

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
