#include "kestrovalumen/animation/aniclick.h"

#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/core/reports.h"
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/rtdb.h"
#include "kestrovalumen/host/stgy.h"

#include <QCoreApplication>
#include <QString>

namespace {

// Action slots: indices into the three arrays of the record.
enum Slot : int {
    kSlotStrategy = 0,
    kSlotOpenWindow = 1,
    kSlotCloseWindow = 2,
    kSlotCapture = 4,
    kSlotStop = 6,
    kSlotVariable = 7,
};

// Windows are numbered by the low 16 bits of the parameter.
int WindowOf(int32_t param) {
    return static_cast<int>(static_cast<uint32_t>(param) & 0xFFFFu);
}

// Both sides go through the same translation lookup, so a translated project still matches.
QString Translated(const char* text) {
    return QCoreApplication::translate("QObject", text, nullptr);
}

// A counted run of int32.
bool ReadIntArray(FF::utils::IBuffer* buf, std::vector<int32_t>& array) {
    return kv::ReadCountedRun<int32_t>(buf, array, [](int32_t stored) { return stored; });
}

} // namespace

CAniClick::CAniClick() {
    m_nAniType = KV_ANI_CLICK;
}

CAniClick::~CAniClick() = default;

bool CAniClick::deserialize(FF::utils::IBuffer* buf) {
    if (!ReadHeader(buf, kv::report::kClickHeader)) {
        return false;
    }
    int32_t textCount = 0;
    if (!kv::ReadField(buf, textCount) || !kv::CountFits(buf, textCount, 4)) {
        return false;
    }
    m_arrText.SetSize(textCount, -1);
    for (int32_t i = 0; i < textCount; ++i) {
        if (!m_arrText[i].deserialize(buf)) {
            return false;
        }
    }
    if (!ReadIntArray(buf, m_arrFlag) || !ReadIntArray(buf, m_arrParam)) {
        return false;
    }
    if (!kv::ReadField(buf, m_nKeyCode) || !kv::ReadField(buf, m_nKeyFlags)) {
        return false;
    }
    m_nKeyFlags &= 0xFF;
    m_nKeyCode = m_nKeyFlags * 256 + (m_nKeyCode & 0xFF);
    return true;
}

// A record may carry fewer elements than there are slots. What it does not carry leaves the
// slot's action off: an absent switch counts as 0, an absent text as empty, and an absent
// parameter as -1, which every slot taking a parameter refuses.
int32_t CAniClick::Flag(int slot) const {
    return slot < static_cast<int>(m_arrFlag.size()) ? m_arrFlag[static_cast<size_t>(slot)] : 0;
}

int32_t CAniClick::Param(int slot) const {
    return slot < static_cast<int>(m_arrParam.size()) ? m_arrParam[static_cast<size_t>(slot)] : -1;
}

const char* CAniClick::Text(int slot) const {
    return slot < m_arrText.GetSize() ? m_arrText[slot].GetString() : "";
}

int CAniClick::Run(int nEvent) {
    if (nEvent <= KV_EVENT_BLINK3) {
        return 0;
    }
    if (m_pDrawObj == nullptr || !m_pDrawObj->IsVisible()) {
        return 0;
    }
    if (nEvent != KV_EVENT_CLICK && (m_nKeyCode == 0 || m_nKeyCode != nEvent)) {
        return 0;
    }
    // Fixed order; one action never stops the next.
    RunStrategy();
    OpenWindow();
    CaptureScreen();
    StopRuntime();
    SetVariable();
    CloseWindow();
    return 1;
}

void CAniClick::RunStrategy() const {
    const int32_t strategy = Param(kSlotStrategy);
    if (Flag(kSlotStrategy) == 0 || strategy < 0) {
        return;
    }
    kv::Emit(kv::report::kClickStrategy, Flag(kSlotStrategy));
    Vorn_Stgy_RunUserStgy(strategy, 0);
}

void CAniClick::OpenWindow() const {
    const int32_t window = Param(kSlotOpenWindow);
    if (Flag(kSlotOpenWindow) == 0 || window < 0) {
        return;
    }
    kv::Emit(kv::report::kClickOpenWindow, Flag(kSlotOpenWindow));
    __gui_wnd_open(WindowOf(window));
}

void CAniClick::CaptureScreen() const {
    if (Flag(kSlotCapture) == 0) {
        return;
    }
    if (Translated(Text(kSlotCapture)).compare(Translated("打印当前屏幕")) == 0) {
        __gui_screen_capture("", "", 3, 0, 0, 0, 0);
    }
}

void CAniClick::StopRuntime() const {
    const char* text = Text(kSlotStop);
    if (Flag(kSlotStop) == 0 || text[0] == '\0') {
        return;
    }
    // This trace, like the close trace, shows slot 0's switch rather than its own.
    kv::Emit(kv::report::kClickExit, Flag(kSlotStrategy));
    // The stop text is stored in the local 8-bit encoding.
    if (QString::fromLocal8Bit(text).compare(QString::fromUtf8("退出运行环境")) == 0) {
        __gui_operation_stop(0);
    }
}

void CAniClick::SetVariable() const {
    const int32_t flag = Flag(kSlotVariable);
    const int32_t var = Param(kSlotVariable);
    if (flag == 0 || var == -1) {
        return;
    }
    switch (flag & 0xFF) {
    case 0: // set
        if (Rtdb_SvrSetInt(var, 1, 0, 0) != 0) {
            Rtdb_SvrSetFloat(var, 1.0, 0, 0);
        }
        break;
    case 1: // reset
        if (Rtdb_SvrSetInt(var, 0, 0, 0) != 0) {
            Rtdb_SvrSetFloat(var, 0.0, 0, 0);
        }
        break;
    case 2: { // toggle
        int i = 0;
        if (Rtdb_SvrGetInt(var, &i) == 0) {
            Rtdb_SvrSetInt(var, i == 0 ? 1 : 0, 0, 0);
            break;
        }
        double f = 0.0;
        if (Rtdb_SvrGetFloat(var, &f) == 0) {
            Rtdb_SvrSetFloat(var, f == 0.0 ? 1.0 : 0.0, 0, 0);
        }
        break;
    }
    default:
        break;
    }
}

void CAniClick::CloseWindow() const {
    const int32_t window = Param(kSlotCloseWindow);
    if (Flag(kSlotCloseWindow) == 0 || window < 0) {
        return;
    }
    kv::Emit(kv::report::kClickCloseWindow, Flag(kSlotStrategy));
    __gui_wnd_close(WindowOf(window));
}
