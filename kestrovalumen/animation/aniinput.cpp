#include "kestrovalumen/animation/aniinput.h"

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/animation/anioutput.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/core/reports.h"
#include "kestrovalumen/host/gui.h"
#include "kestrovalumen/host/rtdb.h"
#include "kestrovalumen/host/script.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t kNoCurrentValueBit = 0x1;
constexpr int32_t kLowerExprBit = 0x2;
constexpr int32_t kUpperExprBit = 0x4;

// Keyboard kinds of the host.
constexpr int kSwitchKeyboard = 2;
constexpr int kNumericKeyboard = 1;
constexpr int kStringKeyboard = 0;
constexpr int kHexMode = 2;

constexpr int kOperLogCode = 5;

// The host's keyboard buffer: the preset goes in, the entered text comes back.
constexpr size_t kKeyboardText = 1024;
constexpr size_t kRangeText = 64;

// A double has at most 1074 digits after the point; past them 'f' only appends zeros, and only
// the first 1023 bytes reach the keyboard. Any larger precision gives the same preset, without
// formatting a text as long as a damaged record asks for.
constexpr int kMaxPresetDecimals = 1100;

//! Copies at most size - 1 bytes of text into a zeroed buffer of size bytes.
void Preset(char* buffer, size_t size, const char* text, size_t length) {
    std::memset(buffer, 0, size);
    std::memcpy(buffer, text, std::min(length, size - 1));
}

void Preset(char* buffer, size_t size, const char* text) {
    Preset(buffer, size, text, std::strlen(text));
}

//! Limits ordered so that a record with the smaller value as its upper limit still gives a
//! range.
struct Range {
    double lo;
    double hi;
};

Range OrderedRange(double upper, double lower) {
    return upper < lower ? Range{upper, lower} : Range{lower, upper};
}

//! A nonzero value whose single-precision form is a normal finite float.
bool FitsSingle(double value) {
    if (value == 0.0) {
        return true;
    }
    const float magnitude = std::fabs(static_cast<float>(value));
    return !(magnitude < FLT_MIN || magnitude > FLT_MAX);
}

bool ReadFloatLimit(FF::utils::IBuffer* buf, double& limit) {
    float stored = 0.0f;
    if (!kv::ReadField(buf, stored)) {
        return false;
    }
    limit = stored;
    return true;
}

// The value of a limit's program. A failed one is still taken from the result: the host
// decides what an unset one holds.
double LimitValue(const FF::utils::MemoryBuffer& program, const CDrawObj* owner) {
    Script::ValueType result;
    if (!kv::RunProgram(program, owner, result)) {
        kv::Emit(kv::report::kInputLimit);
    }
    return result.getFloat();
}

// A limit given by a program. An empty program means no limit on that side: the flag goes
// and the limit becomes the farthest finite double in its direction.
bool ReadProgramLimit(FF::utils::IBuffer* buf, FF::utils::MemoryBuffer& program, uint8_t& isExpr,
                      double& limit, double unbounded) {
    if (!kv::ReadProgram(buf, program)) {
        return false;
    }
    if (program.length() == 0) {
        isExpr = 0;
        limit = unbounded;
    }
    return true;
}

} // namespace

CAniInput::CAniInput() {
    m_nAniType = KV_ANI_INPUT;
}

CAniInput::~CAniInput() = default;

bool CAniInput::deserialize(FF::utils::IBuffer* buf) {
    if (!ReadHeader(buf, kv::report::kInputHeader)) {
        return false;
    }
    bool read = false;
    if (m_byVersion == 10) {
        read = ReadVersion10(buf);
    } else if (m_byVersion == 11) {
        read = ReadVersion11(buf);
    }
    if (!read) {
        return false;
    }
    m_nKeyFlags &= 0xFF;
    m_nKeyCode = m_nKeyFlags * 256 + (m_nKeyCode & 0xFF);
    if (m_nVarId == -1) {
        m_nInputType = -1;
    }
    return true;
}

bool CAniInput::ReadVersion10(FF::utils::IBuffer* buf) {
    return kv::ReadField(buf, m_nInputType) && kv::ReadGuardedString(buf, m_strPrompt) &&
           kv::ReadGuardedString(buf, m_strSwitchText1) &&
           kv::ReadGuardedString(buf, m_strSwitchText2) && ReadFloatLimit(buf, m_dUpper) &&
           ReadFloatLimit(buf, m_dLower) && kv::ReadField(buf, m_nVarId) &&
           kv::ReadField(buf, m_bNoCurrentValue) && kv::ReadField(buf, m_nKeyCode) &&
           kv::ReadField(buf, m_nKeyFlags);
}

bool CAniInput::ReadVersion11(FF::utils::IBuffer* buf) {
    int32_t flags = 0;
    if (!kv::ReadField(buf, flags)) {
        return false;
    }
    m_bNoCurrentValue = (flags & kNoCurrentValueBit) ? 1 : 0;
    m_bLowerExpr = (flags & kLowerExprBit) ? 1 : 0;
    m_bUpperExpr = (flags & kUpperExprBit) ? 1 : 0;
    if (!kv::ReadField(buf, m_nInputType) || !kv::ReadGuardedString(buf, m_strPrompt) ||
        !kv::ReadGuardedString(buf, m_strSwitchText1) ||
        !kv::ReadGuardedString(buf, m_strSwitchText2)) {
        return false;
    }
    const bool upper = m_bUpperExpr
                           ? ReadProgramLimit(buf, m_bufUpper, m_bUpperExpr, m_dUpper, DBL_MAX)
                           : ReadFloatLimit(buf, m_dUpper);
    if (!upper) {
        return false;
    }
    const bool lower = m_bLowerExpr
                           ? ReadProgramLimit(buf, m_bufLower, m_bLowerExpr, m_dLower, -DBL_MAX)
                           : ReadFloatLimit(buf, m_dLower);
    if (!lower) {
        return false;
    }
    return kv::ReadField(buf, m_nVarId) && kv::ReadField(buf, m_nKeyCode) &&
           kv::ReadField(buf, m_nKeyFlags);
}

int CAniInput::Run(int nEvent) {
    switch (nEvent) {
    case KV_EVENT_CLICK:
        OpenKeyboard();
        return 1;
    case KV_EVENT_REFRESH:
        RefreshLimits();
        return 1;
    case KV_EVENT_SYNC:
        if (const char* text = __gui_sync_variable()) {
            ApplySyncText(text);
        }
        return 0;
    default:
        return 0;
    }
}

void CAniInput::RefreshLimits() {
    if (m_bUpperExpr) {
        m_dUpper = LimitValue(m_bufUpper, m_pDrawObj);
    }
    if (m_bLowerExpr) {
        m_dLower = LimitValue(m_bufLower, m_pDrawObj);
    }
}

void CAniInput::OpenKeyboard() {
    switch (m_nInputType) {
    case 0:
        OpenSwitchKeyboard();
        break;
    case 1:
        OpenNumericKeyboard();
        break;
    case 2:
        OpenStringKeyboard();
        break;
    default:
        LogOperation();
        break;
    }
}

void CAniInput::OpenSwitchKeyboard() {
    int current = 0;
    if (Rtdb_SvrGetInt(m_nVarId, &current) != 0) {
        return;
    }
    char preset[16];
    std::snprintf(preset, sizeof preset, "%d", current);
    char text[kKeyboardText];
    Preset(text, sizeof text, preset);
    if (!OpenDialog(kSwitchKeyboard, text, -1, m_strSwitchText2, m_strSwitchText1)) {
        kv::Emit(kv::report::kInputSwitchKeyboard);
        return;
    }
    CommitSwitch(text, preset);
}

void CAniInput::OpenStringKeyboard() {
    std::string current;
    if (!m_bNoCurrentValue && Rtdb_SvrGetStr(m_nVarId, &current) != 0) {
        return;
    }
    char text[kKeyboardText];
    Preset(text, sizeof text, current.data(), current.size());
    if (!OpenDialog(kStringKeyboard, text, m_bAltMode ? 1 : 0, nullptr, nullptr)) {
        kv::Emit(kv::report::kInputStringKeyboard);
        return;
    }
    CommitString(text, current);
}

void CAniInput::OpenNumericKeyboard() {
    const Range range = OrderedRange(m_dUpper, m_dLower);
    char rangeText[kRangeText] = {};
    std::snprintf(rangeText, sizeof rangeText, "%g,%g", range.lo, range.hi);
    if (m_bNoCurrentValue) {
        LogOperation();
        return;
    }
    // Only an integer variable answers the integer read; that picks the keyboard.
    double currentFloat = 0.0;
    const bool isFloat = Rtdb_SvrGetFloat(m_nVarId, &currentFloat) == 0;
    int currentInt = 0;
    const bool isInt = Rtdb_SvrGetInt(m_nVarId, &currentInt) == 0;
    char text[kKeyboardText];

    if (isInt) {
        char preset[16];
        std::snprintf(preset, sizeof preset, "%d", currentInt);
        Preset(text, sizeof text, preset);
        if (m_nIntKeyboardStyle == 2) {
            if (!OpenDialog(kNumericKeyboard, text, kHexMode, nullptr, rangeText)) {
                kv::Emit(kv::report::kInputHexKeyboard);
                return;
            }
        } else if (!OpenDialog(kNumericKeyboard, text, IntegerMode(), nullptr, rangeText)) {
            kv::Emit(kv::report::kInputIntegerKeyboard);
            return;
        }
        CommitInteger(text, currentInt, range.lo, range.hi);
        return;
    }
    if (!isFloat) {
        return;
    }

    if (!m_bFormatCopied) {
        CopyOutputFormat();
    }
    QString preset;
    if (!m_bFormatCopied) {
        preset = QStringLiteral("%1").arg(currentFloat, 0, 'g', -1, QChar(' '));
    } else if (m_nDecimals >= 0) {
        preset = QStringLiteral("%1").arg(currentFloat, 0, 'f',
                                          std::min(m_nDecimals, kMaxPresetDecimals), QChar(' '));
    } else {
        preset = QStringLiteral("%1").arg(currentFloat, 0, 'g', m_nDecimals, QChar(' '));
    }
    const QByteArray presetBytes = preset.toLatin1();
    Preset(text, sizeof text, presetBytes.constData(), static_cast<size_t>(presetBytes.size()));
    if (!OpenDialog(kNumericKeyboard, text, m_bAltMode ? 4 : 0, nullptr, rangeText)) {
        kv::Emit(kv::report::kInputNumberKeyboard);
        return;
    }
    CommitDecimal(text, currentFloat, range.lo, range.hi);
}

void CAniInput::ApplySyncText(const char* text) {
    switch (m_nInputType) {
    case 0: {
        // A failed read leaves the comparison with whatever the host gave back.
        int current = 0;
        Rtdb_SvrGetInt(m_nVarId, &current);
        char preset[16];
        std::snprintf(preset, sizeof preset, "%d", current);
        CommitSwitch(text, preset);
        break;
    }
    case 1:
        ApplyNumeric(text);
        break;
    case 2: {
        std::string current;
        if (!m_bNoCurrentValue) {
            Rtdb_SvrGetStr(m_nVarId, &current);
        }
        CommitString(text, current);
        break;
    }
    default:
        LogOperation();
        break;
    }
}

void CAniInput::ApplyNumeric(const char* text) {
    const Range range = OrderedRange(m_dUpper, m_dLower);
    if (m_bNoCurrentValue) {
        LogOperation();
        return;
    }
    double currentFloat = 0.0;
    const bool isFloat = Rtdb_SvrGetFloat(m_nVarId, &currentFloat) == 0;
    int currentInt = 0;
    const bool isInt = Rtdb_SvrGetInt(m_nVarId, &currentInt) == 0;
    if (isInt) {
        CommitInteger(text, currentInt, range.lo, range.hi);
    } else if (isFloat) {
        CommitDecimal(text, currentFloat, range.lo, range.hi);
    }
}

bool CAniInput::OpenDialog(int kind, char* text, int mode, const char* text2, const char* text3) {
    const int code = m_nDialogCode > 10 ? 5 : m_nDialogCode;
    if (m_nKeyboardStyle != 0) {
        return __gui_open_customed_input(kind, text, mode, m_strPrompt, m_nCustomSetting,
                                         m_strCustomText1, m_strCustomText2, code, m_nDialogValue1,
                                         m_nDialogValue2);
    }
    return __gui_input_dialog_open(kind, text, mode, m_strPrompt, text2, text3, 0, code,
                                   m_nDialogValue1, m_nDialogValue2);
}

int CAniInput::IntegerMode() const {
    if (m_nIntKeyboardStyle == 1) {
        return m_bAltMode ? 7 : 3;
    }
    return m_bAltMode ? 5 : 1;
}

void CAniInput::CopyOutputFormat() {
    if (m_pDrawObj == nullptr) {
        return;
    }
    for (int i = 0; i < m_pDrawObj->AnimationCount(); ++i) {
        const CAniObj* animation = m_pDrawObj->AnimationAt(i);
        if (animation == nullptr || animation->m_nAniType != KV_ANI_OUTPUT) {
            continue;
        }
        if (const auto* output = dynamic_cast<const CAniOutput*>(animation)) {
            m_nDecimals = output->m_nDecimals;
            m_bFormatCopied = 1;
        }
        return;
    }
}

void CAniInput::CommitSwitch(const char* entered, const char* current) {
    if (std::strcmp(entered, current) == 0) {
        return;
    }
    Rtdb_SvrSetInt(m_nVarId, std::atoi(entered) == 0 ? 0 : 1, 0, 0);
    LogOperation();
}

void CAniInput::CommitString(const char* entered, const std::string& current) {
    if (current == entered) {
        return;
    }
    Rtdb_SvrSetStr(m_nVarId, entered, 0, 0);
    LogOperation();
}

void CAniInput::CommitInteger(const char* entered, int current, double lo, double hi) {
    const double value = std::atof(entered);
    if (value > 2147483647.0 || value < -2147483648.0) {
        return;
    }
    if (lo != hi && (value > hi || value < lo)) {
        return;
    }
    if (value == current) {
        return;
    }
    Rtdb_SvrSetInt(m_nVarId, kv::TruncSaturate32(value), 0, 0);
    LogOperation();
}

void CAniInput::CommitDecimal(const char* entered, double current, double lo, double hi) {
    const double value = std::atof(entered);
    if (lo != hi) {
        // Constant limits come from single-precision record values: compare in that precision.
        if (m_bUpperExpr) {
            if (value > hi) {
                return;
            }
        } else if (!FitsSingle(value) || static_cast<double>(static_cast<float>(value)) > hi) {
            return;
        }
        if (m_bLowerExpr) {
            if (value < lo) {
                return;
            }
        } else if (!FitsSingle(value) || static_cast<double>(static_cast<float>(value)) < lo) {
            return;
        }
    }
    if (value == current) {
        return;
    }
    Rtdb_SvrSetFloat(m_nVarId, value, 0, 0);
    LogOperation();
}

void CAniInput::LogOperation() {
    if (m_pDrawObj != nullptr) {
        m_pDrawObj->WriteOperLog(kOperLogCode);
    }
}
