// The object loader: any class of the module, any project version, any record bytes.
//
// Input: byte 0 picks the class (modulo the 33 registered ones), byte 1 the project version
// (low bits, modulo the choices) and whether the object is loaded a second time from the bytes
// that follow the first record (bit 7); the rest is the record. An object whose load returns
// true is then used as a host uses it: drawn on the recording device, run with every event code
// against a populated database with scripted keyboard answers, drawn again. An object whose load
// returns false is only destroyed.
#include "fuzz/fuzzsupport.h"

#include "kestrovalumen/animation/aniclick.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/host/rtti.h"
#include "kestrovalumen/host/utils.h"
#include "runtime/host/gui.h"
#include "runtime/host/rtdbhost.h"
#include "runtime/paint/recordingdevice.h"

#include <QPainter>
#include <QRegion>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

bool Load(CDrawObj& object, FF::utils::MemoryBuffer& buffer) {
    // A malformed string block is the one exception a loader may pass on; the host counts it
    // as a failed load. Anything else escapes and is a finding.
    try {
        return object.deserialize(&buffer);
    } catch (const FF::utils::deserialize_block_error&) {
        return false;
    }
}

void Draw(CDrawObj& object) {
    kestro::RecordingDevice device(800, 600);
    QPainter painter(&device);
    object.Draw(&painter);
    painter.end();
}

void Use(CDrawObj& object, Script::IHost* host) {
    object.SetScriptHost(host);
    object.SetParent(nullptr);

    kestro::Gui& gui = kestro::Gui::instance();
    gui.queueKeyboardAnswer({true, "1"});
    gui.queueKeyboardAnswer({true, "42.5"});
    gui.queueKeyboardAnswer({true, "abc"});
    gui.queueKeyboardAnswer({false, ""});
    gui.setKeyboardHandler([](const kestro::KeyboardCall&) {
        return kestro::KeyboardAnswer{true, "-7"};
    });
    gui.queueSyncText("3.5");
    gui.queueSyncText("text");

    Draw(object);
    int left = 0, top = 0, right = 0, bottom = 0;
    object.GetBoundRect(&left, &top, &right, &bottom);
    QRegion region;
    object.GetRegion(&region);
    (void)object.IsVisible();

    static const int kEvents[] = {-1, 0, 1, 2, 3, 5, 11111, 88888, 5, 0};
    for (int event : kEvents) {
        object.Run(event);
    }
    // The trigger codes of the click actions, or one that no record is likely to carry.
    bool triggered = false;
    for (int i = 0; i < object.AnimationCount(); ++i) {
        if (auto* click = dynamic_cast<CAniClick*>(object.AnimationAt(i))) {
            if (click->m_nKeyCode != 0) {
                object.Run(click->m_nKeyCode);
                triggered = true;
            }
        }
    }
    if (!triggered) {
        object.Run(0x0241);
    }
    Draw(object);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kvfuzz::startQt();
    kvfuzz::moduleClasses();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const auto& classes = kvfuzz::moduleClasses();
    rtti::clazz_c* descriptor = classes[data[0] % classes.size()];
    const kvfuzz::VersionChoice& version =
        kvfuzz::kVersionChoices[(data[1] & 0x7F) % kvfuzz::kVersionChoices.size()];
    const bool reload = (data[1] & 0x80) != 0;

    kvfuzz::resetPopulatedHost();
    kvfuzz::applyVersion(version);

    std::unique_ptr<rtti::object_c> created(descriptor->create_object());
    auto* object = dynamic_cast<CDrawObj*>(created.get());
    if (object == nullptr) {
        kvfuzz::finding("a class of the module made no CDrawObj");
    }

    kestro::RtdbScriptHost host;
    FF::utils::MemoryBuffer buffer(data + 2, size - 2);
    if (!Load(*object, buffer)) {
        return 0; // the host's rule: an object that did not load is only destroyed
    }
    Use(*object, &host);
    if (reload) {
        if (!Load(*object, buffer)) {
            return 0;
        }
        Use(*object, &host);
    }
    kestro::Gui::instance().setKeyboardHandler(nullptr);
    return 0;
}
