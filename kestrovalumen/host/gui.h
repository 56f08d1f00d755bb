// Window, input and event services (host library gui), and the drawing-object interface.
#pragma once

#include "kestrovalumen/host/hostapi.h"
#include "kestrovalumen/host/rtti.h"
#include "kestrovalumen/host/utils.h"

#include <cstdint>
#include <string>
#include <vector>

class QPainter;
class CEventDispatch;
namespace Script {
class IHost;
}

//! Property record passed to SvrGetProp and SvrSetProp; owned by the caller.
class KV_HOST_API prop_value_c {
public:
    enum Type { TypeInt = 1, TypeFloat = 2, TypeString = 3 };

    uint32_t reserved0 = 0;
    uint32_t reserved1 = 0;
    uint32_t id = 0;
    double dValue = 0.0;
    int32_t nValue = 0;
    std::string strValue;
    int32_t nType = 0;
    uint8_t bHandled = 0;
};

//! Base of the host's main process. Only its type record matters to plug-ins.
class KV_HOST_API process_main_base_c {
public:
    virtual ~process_main_base_c() {}
};

//! The host's interface of a drawing object. Plug-in classes implement it.
class KV_HOST_API draw_object_c : public rtti::object_c {
public:
    const rtti::clazz_c* get_clazz() const override;
    bool is_kind_of(const rtti::clazz_c* clazz) const override;
    rtti::object_c* cast_to(const rtti::clazz_c* clazz) override;
    ~draw_object_c() override;

    virtual void Draw(QPainter* painter) = 0;
    //! Inclusive bounding rectangle, outline included.
    virtual void GetBoundRect(int* left, int* top, int* right, int* bottom) const = 0;
    //! Takes inclusive corners.
    virtual void SetBounds(int left, int top, int right, int bottom) = 0;
    virtual int GetAttr() const = 0;
    //! Runs the object's dynamic properties for an event; true when it must be repainted.
    virtual bool Run(int nEvent, int = 0, int = 0);
    virtual void ToRelative(int x1, int y1, int x2, int y2) = 0;
    virtual void ToAbsolute(int x1, int y1, int x2, int y2) = 0;
    virtual std::vector<CEventDispatch*>* GetEventArray();
    virtual const char* GetName() const;
    virtual bool SvrGetProp(prop_value_c* prop) = 0;
    virtual bool SvrSetProp(prop_value_c* prop) = 0;
    virtual int CheckArg(int arg) = 0;
    virtual uint32_t GetObjectId() const = 0;
    virtual bool IsVisible() const;
    virtual bool deserialize(FF::utils::IBuffer* buffer) = 0;
    virtual void SetScriptHost(Script::IHost* host);
    virtual Script::IHost* GetScriptHost() const;
    virtual bool HasOperLog() const;
    //! The operation-log text in the current language, UTF-8.
    virtual std::string GetOperLogText() const;
    virtual void SetParent(draw_object_c* parent);
    virtual int CheckBase();

    //! The descriptor of draw_object_c: "draw_object_c", number 0x5000, no instances.
    static rtti::clazz_c* static_clazz();
};

//! Event-handler record of a drawing object: an event code and the program of its action.
class KV_HOST_API CEventDispatch {
public:
    CEventDispatch();
    ~CEventDispatch();
    CEventDispatch(const CEventDispatch&) = delete;
    CEventDispatch& operator=(const CEventDispatch&) = delete;

    //! Reads one record in the host's stream form; false on a short or malformed record.
    bool deserialize(FF::utils::IBuffer* buffer);

    int32_t m_nEventCode = 0;
    FF::utils::MemoryBuffer m_program;
};

//! The version of the project being loaded. Integers the host does not know stay untouched.
KV_HOST_API int __gui_get_vornset_version(int* major, int* minor, int* build, int* revision,
                                          std::string* text);
//! Writes one operation-log entry for the object.
KV_HOST_API int __gui_operation_log_print(draw_object_c* object, int code, const char* text);
//! Opens the operator keyboard of the given kind (2 switch, 1 numeric, 0 string) and blocks until
//! the operator has finished. text is a zeroed 1024-byte buffer with the preset text; on true it
//! holds the entered text. False: the keyboard was not opened.
KV_HOST_API bool __gui_input_dialog_open(int kind, char* text, int mode, const char* prompt,
                                         const char* text2, const char* text3, int reserved,
                                         int code, int value1, int value2);
//! The host's customised keyboard: as __gui_input_dialog_open, with a setting and two texts
//! of its own.
KV_HOST_API bool __gui_open_customed_input(int kind, char* text, int mode, const char* prompt,
                                           int setting, const char* textA, const char* textB,
                                           int code, int value1, int value2);
//! The text of a value synchronised for the calling input, or null.
KV_HOST_API const char* __gui_sync_variable();
KV_HOST_API int __gui_wnd_open(int window);
KV_HOST_API int __gui_wnd_close(int window);
//! Prints the current screen.
KV_HOST_API int __gui_screen_capture(const char* file, const char* title, int mode, int x, int y,
                                     int width, int height);
//! Stops the runtime.
KV_HOST_API int __gui_operation_stop(int code);
