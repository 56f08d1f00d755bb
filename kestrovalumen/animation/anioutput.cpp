#include "kestrovalumen/animation/anioutput.h"

#include "kestrovalumen/animation/aniexpr.h"
#include "kestrovalumen/core/drawobj.h"
#include "kestrovalumen/core/drawobj_stream.h"
#include "kestrovalumen/host/linguist.h"
#include "kestrovalumen/host/script.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTextKind = 2;

// Zero runs the formatting steps take their padding from.
constexpr char kZeros[] = "0000000000000000000000000000000000000000000000000000000000000000";
constexpr int kIntegerZeros = 33;
constexpr int kDecimalZeros = 14;
constexpr int kHexZeros = 64;

//! The current-language text of a stored key.
QString Translated(const CString& key) {
    const QString keyText = QString::fromLatin1(key.GetString());
    QString text;
    __linguist_get_lan_string_from_serialize(&text, &keyText);
    return text;
}

//! The current-language text of a stored key, narrowed back to 8 bits for the owner's text.
std::string TranslateToLatin1(const CString& key) {
    return Translated(key).toLatin1().toStdString();
}

//! The unit in the current language, without line breaks.
std::string PrepareUnit(const CString& unit) {
    return Translated(unit).remove(QStringLiteral("\r\n")).toUtf8().toStdString();
}

//! One '*' per character; a byte of 0x80 or above starts a double-byte character.
std::string Masked(const std::string& text) {
    std::string stars;
    for (size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size()) {
            ++i;
        }
        stars += '*';
    }
    return stars;
}

CString Zeros(int count) {
    return CString(kZeros, count);
}

} // namespace

CAniOutput::CAniOutput() {
    m_nAniType = KV_ANI_OUTPUT;
}

CAniOutput::~CAniOutput() = default;

bool CAniOutput::deserialize(FF::utils::IBuffer* buf) {
    if (!ReadHeader(buf, kv::report::kOutputHeader)) {
        return false;
    }
    if (!kv::ReadGuardedString(buf, m_strOffText) || !kv::ReadGuardedString(buf, m_strOnText)) {
        return false;
    }
    return kv::ReadField(buf, m_nOutputType) && kv::ReadField(buf, m_nDecimals) &&
           kv::ReadField(buf, m_nIntDigits) && kv::ReadField(buf, m_nOutputExtra);
}

void CAniOutput::InitObj(CDrawObj* owner) {
    if (!Attach(owner, kv::report::kOutputAttach)) {
        return;
    }
    owner->m_bAnimated = 1;

    // The integer displays want an integer from the engine: a program whose first word is 0
    // gets 1 there.
    if (IsIntegerDisplay() && m_bufExpress.length() > 4) {
        const unsigned char* bytes = m_bufExpress.data();
        uint32_t word = 0;
        std::memcpy(&word, bytes, sizeof word);
        if (word == 0) {
            std::string program(reinterpret_cast<const char*>(bytes),
                                static_cast<size_t>(m_bufExpress.length()));
            word = 1;
            std::memcpy(&program[0], &word, sizeof word);
            m_bufExpress.assign(program.data(), program.size());
        }
    }
}

bool CAniOutput::IsIntegerDisplay() const {
    return m_nOutputType == 1 && m_nRadix >= 0 && m_nRadix <= 2;
}

int CAniOutput::Run(int nEvent) {
    if (nEvent != KV_EVENT_REFRESH && nEvent != KV_EVENT_OUTPUT) {
        return 0;
    }
    if (m_pDrawObj == nullptr) {
        return 0;
    }
    if (m_pDrawObj->GetObjType() != kTextKind) {
        return 1;
    }
    std::string oldText;
    m_pDrawObj->GetText(oldText);
    const std::string unit = PrepareUnit(m_strUnit);
    if (!m_bLeadingZero && m_nDecimals != -1) {
        m_nIntDigits = 1;
    }

    const kv::Report* failure = &kv::report::kOutputStringRun;
    if (m_nOutputType == 0) {
        failure = &kv::report::kOutputSwitchRun;
    } else if (m_nOutputType == 1) {
        failure =
            IsIntegerDisplay() ? &kv::report::kOutputIntegerRun : &kv::report::kOutputNumberRun;
    }
    Script::ValueType result;
    if (!kv::EvaluateExpression(*this, result, *failure)) {
        return 0;
    }

    if (m_nOutputType == 0) {
        return ShowSwitch(result, oldText);
    }
    if (m_nOutputType == 1) {
        // Numbers are handed over every time, changed or not.
        ShowNumber(result.getFloat(), unit);
    } else {
        std::string text = result.getString();
        if (m_bPassword) {
            text = Masked(text);
        }
        if (text == oldText) {
            return 0;
        }
        m_pDrawObj->SetText(text);
    }
    if (nEvent == KV_EVENT_OUTPUT) {
        return 1;
    }
    std::string newText;
    m_pDrawObj->GetText(newText);
    return newText != oldText ? 1 : 0;
}

int CAniOutput::ShowSwitch(const Script::ValueType& result, const std::string& oldText) {
    const bool on = kv::TruncSaturate32(result.getFloat()) != 0;
    std::string text = TranslateToLatin1(on ? m_strOnText : m_strOffText);
    if (text.empty()) {
        text = on ? "On" : "Off";
    }
    if (text == oldText) {
        return 0;
    }
    m_pDrawObj->SetText(text);
    return 1;
}

void CAniOutput::ShowNumber(double value, const std::string& unit) {
    // An unchanged value keeps its last text; the initial last value matches nothing shown.
    if (value != m_dLastValue) {
        m_dLastValue = value;
        CString text;
        if (IsIntegerDisplay()) {
            text = FormatInteger(value);
        } else if (m_nDecimals == -1) {
            text = FormatAutomatic(value);
        } else {
            text = FormatFixed(value);
        }
        if (m_bPassword) {
            text = Masked(text.str()).c_str();
        }
        m_strLastText = text;
    }
    std::string shown = m_strLastText.str();
    if (m_bShowUnit) {
        shown += unit;
    }
    m_pDrawObj->SetText(shown);
}

CString CAniOutput::FormatAutomatic(double value) {
    m_nIntDigits = std::max(m_nIntDigits, 0);
    if (m_nIntDigits > 16) {
        m_nIntDigits = 0;
    }
    CString text;
    if (m_nIntDigits == 0) {
        text.Format("%g", value);
    } else {
        text.Format("%.*g", m_nIntDigits, value);
    }
    return text;
}

CString CAniOutput::FormatFixed(double value) {
    m_nIntDigits = std::clamp(m_nIntDigits, 1, 16);
    if (m_nDecimals > 6) {
        m_nDecimals = 6;
    } else if (m_nDecimals < 0) {
        m_nDecimals = -1;
    }
    CString text;
    // Without a number of decimals there is no width to round to: the steps below keep the
    // formatter's six.
    if (m_bRound && m_nDecimals >= 0) {
        int width = m_nDecimals == 0 ? m_nIntDigits : m_nDecimals + m_nIntDigits + 1;
        if (value < 0) {
            ++width;
        }
        text.Format("%0*.*f", width, m_nDecimals, value);
        return text;
    }

    // The formatter rounds at the sixth decimal; the decimals shown are then cut, not rounded.
    text.Format("%lf", value);
    if (text.GetString()[0] == '-') {
        text.Delete(0, 1);
    }
    int point = text.Find(".");
    if (point <= 0) {
        point = text.GetLength();
    }
    if (point < m_nIntDigits) {
        text = Zeros(std::min(m_nIntDigits - point, kIntegerZeros)) + text;
    }
    if (value < 0) {
        text = "-" + text;
    }
    const int dot = text.Find(".");
    if (m_nDecimals >= 0 && dot > 0) {
        text += Zeros(kDecimalZeros);
        text = text.Left(m_nDecimals == 0 ? dot : dot + 1 + m_nDecimals);
    }
    return text;
}

CString CAniOutput::FormatInteger(double value) const {
    const int32_t number = kv::TruncSaturate32(value);
    const auto bits = static_cast<uint32_t>(number);
    CString text;
    switch (m_nRadix) {
    case 0: {
        text.Format("%.*d", std::clamp(m_nIntDigits, 1, 16), number);
        const int decimals = std::min(m_nDecimals, 6);
        if (decimals > 0) {
            text += ".";
            text += Zeros(decimals);
        }
        break;
    }
    case 1: {
        CString digits;
        digits.Format("%X", bits);
        const int width = std::clamp(m_nIntDigits, 1, 8);
        if (digits.GetLength() < width) {
            digits = Zeros(std::min(width - digits.GetLength(), kHexZeros)) + digits;
        }
        text = "0x" + digits;
        break;
    }
    default: {
        char digits[33] = {};
        int count = 0;
        for (int bit = 31; bit >= 0; --bit) {
            if (count > 0 || (bits >> bit) & 1u) {
                digits[count++] = ((bits >> bit) & 1u) ? '1' : '0';
            }
        }
        const int width = std::clamp(m_nIntDigits, 1, 32);
        text = count < width ? Zeros(width - count) : CString();
        text += count > 0 ? digits : "";
        break;
    }
    }
    return text;
}
