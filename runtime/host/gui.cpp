// Window, input and event services of the reference host (library gui), with the host's side of
// the drawing-object interface and the event-handler record.
#include "runtime/host/gui.h"

#include "kestrovalumen/host/gui.h"
#include "runtime/host/textformat.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>

// ---- prop_value_c ----

// A plug-in built against another declaration of the property record finds its fields by their
// place: the two leading words, which nothing reads, keep the property number at byte 8.
static_assert(std::is_standard_layout_v<prop_value_c> && offsetof(prop_value_c, id) == 8,
              "prop_value_c: two 32-bit words come before id");

// ---- draw_object_c ----

namespace {

class DrawObjectClazz : public rtti::clazz_c {
public:
    std::string class_name() const override { return "draw_object_c"; }
    uint32_t class_id() const override { return 0x5000; }
};

} // namespace

rtti::clazz_c* draw_object_c::static_clazz() {
    static DrawObjectClazz instance;
    return &instance;
}

const rtti::clazz_c* draw_object_c::get_clazz() const {
    return static_clazz();
}

bool draw_object_c::is_kind_of(const rtti::clazz_c* clazz) const {
    return const_cast<draw_object_c*>(this)->cast_to(clazz) != nullptr;
}

rtti::object_c* draw_object_c::cast_to(const rtti::clazz_c* clazz) {
    if (clazz == rtti::object_c::static_clazz() || clazz == static_clazz()) {
        return this;
    }
    return nullptr;
}

draw_object_c::~draw_object_c() = default;

bool draw_object_c::Run(int, int, int) {
    return false;
}

std::vector<CEventDispatch*>* draw_object_c::GetEventArray() {
    return nullptr;
}

const char* draw_object_c::GetName() const {
    return "";
}

bool draw_object_c::IsVisible() const {
    return true;
}

void draw_object_c::SetScriptHost(Script::IHost*) {}

Script::IHost* draw_object_c::GetScriptHost() const {
    return nullptr;
}

bool draw_object_c::HasOperLog() const {
    return false;
}

std::string draw_object_c::GetOperLogText() const {
    return {};
}

void draw_object_c::SetParent(draw_object_c*) {}

int draw_object_c::CheckBase() {
    return 1;
}

// ---- CEventDispatch ----

CEventDispatch::CEventDispatch() = default;

CEventDispatch::~CEventDispatch() = default;

namespace {

bool readInt32(FF::utils::IBuffer* buffer, int32_t* value) {
    unsigned char bytes[4];
    if (!buffer->read(bytes, sizeof bytes)) {
        return false;
    }
    const uint32_t v = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                       static_cast<uint32_t>(bytes[2]) << 16 |
                       static_cast<uint32_t>(bytes[3]) << 24;
    *value = static_cast<int32_t>(v);
    return true;
}

} // namespace

bool CEventDispatch::deserialize(FF::utils::IBuffer* buffer) {
    if (!buffer) {
        return false;
    }
    int32_t code = 0;
    int32_t length = 0;
    if (!readInt32(buffer, &code) || !readInt32(buffer, &length) || length < 0) {
        return false;
    }
    // from() checks the length against the bytes left before it allocates.
    if (!m_program.from(buffer, static_cast<unsigned long long>(length))) {
        return false;
    }
    m_nEventCode = code;
    return true;
}

// ---- the Gui service ----

namespace kestro {

namespace {

// Keyboard buffers are 1024 bytes: at most 1023 bytes of text and the terminating zero.
constexpr size_t kKeyboardBuffer = 1024;

// The window, capture and stop requests: kept in their list, then handed to the hook if set.
template <class T, class Hook>
int recordRequest(RecordList<T>& list, const Hook& hook, const T& request) {
    list.push_back(request);
    if (hook) {
        hook(request);
    }
    return 0;
}

} // namespace

Gui& Gui::instance() {
    static Gui gui;
    return gui;
}

void Gui::setProjectVersion(const ProjectVersion& version) {
    m_version = version;
    m_hasVersion = true;
}

void Gui::clear() {
    m_records.opened.clear();
    m_records.closed.clear();
    m_records.stops.clear();
    m_records.captures.clear();
    m_records.operationLog.clear();
    m_records.keyboardCalls.clear();
    m_answers.clear();
    m_keyboardHandler = nullptr;
    m_syncTexts.clear();
    m_currentSync.clear();
    m_hasVersion = false;
    m_version = ProjectVersion();
    onWindowOpen = nullptr;
    onWindowClose = nullptr;
    onCapture = nullptr;
    onStop = nullptr;
}

int Gui::windowOpen(int window) {
    return recordRequest(m_records.opened, onWindowOpen, window);
}

int Gui::windowClose(int window) {
    return recordRequest(m_records.closed, onWindowClose, window);
}

int Gui::screenCapture(const ScreenCapture& capture) {
    return recordRequest(m_records.captures, onCapture, capture);
}

int Gui::operationStop(int code) {
    return recordRequest(m_records.stops, onStop, code);
}

int Gui::operationLog(draw_object_c* object, int code, const char* text) {
    m_records.operationLog.push_back({object, code, orEmpty(text)});
    return 0;
}

bool Gui::keyboard(const KeyboardCall& call, char* text) {
    const size_t record = m_records.keyboardCalls.total();
    m_records.keyboardCalls.push_back(call);
    KeyboardAnswer answer;
    if (!m_answers.empty()) {
        answer = std::move(m_answers.front());
        m_answers.pop_front();
    } else if (m_keyboardHandler) {
        // The handler may queue answers or set another handler: call a copy.
        const auto handler = m_keyboardHandler;
        answer = handler(call);
    } else {
        return false;
    }
    if (KeyboardCall* recorded = m_records.keyboardCalls.atPosition(record)) {
        recorded->opened = answer.opened;
        recorded->answer = answer.text;
        recorded->cancelled = answer.cancelled;
    }
    if (!answer.opened) {
        return false;
    }
    if (text) {
        const size_t count = std::min(answer.text.size(), kKeyboardBuffer - 1);
        std::memcpy(text, answer.text.data(), count);
        text[count] = '\0';
    }
    return true;
}

const char* Gui::syncText() {
    if (m_syncTexts.empty()) {
        return nullptr;
    }
    m_currentSync = std::move(m_syncTexts.front());
    m_syncTexts.pop_front();
    return m_currentSync.c_str();
}

bool Gui::version(int* major, int* minor, int* build, int* revision, std::string* text) const {
    if (!m_hasVersion) {
        return false;
    }
    if (major) {
        *major = m_version.major;
    }
    if (minor) {
        *minor = m_version.minor;
    }
    if (build) {
        *build = m_version.build;
    }
    if (revision) {
        *revision = m_version.revision;
    }
    if (text) {
        *text = m_version.text;
    }
    return true;
}

namespace {

KeyboardCall keyboardCall(bool customised, int kind, const char* text, int mode, const char* prompt,
                          const char* text2, const char* text3, int reserved, int code, int value1,
                          int value2) {
    KeyboardCall call;
    call.customised = customised;
    call.kind = kind;
    if (text) {
        call.preset.assign(text, strnlen(text, kKeyboardBuffer));
    }
    call.mode = mode;
    call.prompt = orEmpty(prompt);
    call.hasText2 = text2 != nullptr;
    call.text2 = orEmpty(text2);
    call.hasText3 = text3 != nullptr;
    call.text3 = orEmpty(text3);
    call.reserved = reserved;
    call.code = code;
    call.value1 = value1;
    call.value2 = value2;
    return call;
}

} // namespace

} // namespace kestro

// ---- entry points ----

int __gui_get_vornset_version(int* major, int* minor, int* build, int* revision,
                              std::string* text) {
    return kestro::Gui::instance().version(major, minor, build, revision, text) ? 0 : -1;
}

int __gui_operation_log_print(draw_object_c* object, int code, const char* text) {
    return kestro::Gui::instance().operationLog(object, code, text);
}

bool __gui_input_dialog_open(int kind, char* text, int mode, const char* prompt, const char* text2,
                             const char* text3, int reserved, int code, int value1, int value2) {
    return kestro::Gui::instance().keyboard(kestro::keyboardCall(false, kind, text, mode, prompt,
                                                                 text2, text3, reserved, code,
                                                                 value1, value2),
                                            text);
}

bool __gui_open_customed_input(int kind, char* text, int mode, const char* prompt, int setting,
                               const char* textA, const char* textB, int code, int value1,
                               int value2) {
    return kestro::Gui::instance().keyboard(kestro::keyboardCall(true, kind, text, mode, prompt,
                                                                 textA, textB, setting, code,
                                                                 value1, value2),
                                            text);
}

const char* __gui_sync_variable() {
    return kestro::Gui::instance().syncText();
}

int __gui_wnd_open(int window) {
    return kestro::Gui::instance().windowOpen(window);
}

int __gui_wnd_close(int window) {
    return kestro::Gui::instance().windowClose(window);
}

int __gui_screen_capture(const char* file, const char* title, int mode, int x, int y, int width,
                         int height) {
    kestro::ScreenCapture capture;
    capture.file = kestro::orEmpty(file);
    capture.title = kestro::orEmpty(title);
    capture.mode = mode;
    capture.x = x;
    capture.y = y;
    capture.width = width;
    capture.height = height;
    return kestro::Gui::instance().screenCapture(capture);
}

int __gui_operation_stop(int code) {
    return kestro::Gui::instance().operationStop(code);
}
