// Building a drawing object's animation list by hand, as its loader would.
#pragma once

#include "kestrovalumen/host/MfcToQt.h"

namespace kvtest {

inline void append(CObArray& array, void* element) {
    const int index = array.GetSize();
    array.SetSize(index + 1, -1);
    array.SetAt(index, element);
}

} // namespace kvtest
