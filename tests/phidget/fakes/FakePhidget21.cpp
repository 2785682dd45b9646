// A stand-in for libphidget21 with the functions the program calls: boards plugged in by the
// test, events from a thread of its own, every call that reaches a board recorded.

#include "FakeControl.h"
#include "FakeCore.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int EPHIDGET_OK = 0;
constexpr int EPHIDGET_UNEXPECTED = 3;
constexpr int EPHIDGET_NOTATTACHED = 5;
constexpr int EPHIDGET_OUTOFBOUNDS = 14;

} // namespace

using AttachHandler = int (*)(struct CPhidget*, void*);
using ErrorHandler = int (*)(struct CPhidget*, void*, int, const char*);

struct CPhidget {
    std::string type; // the kind the handle was created for
    int serial = -1;
    bool opened = false;
    AttachHandler onAttach = nullptr;
    void* attachContext = nullptr;
    ErrorHandler onError = nullptr;
    void* errorContext = nullptr;
};

struct CPhidgetManager {
    bool opened = false;
    AttachHandler onAttach = nullptr;
    void* attachContext = nullptr;
    AttachHandler onDetach = nullptr;
    void* detachContext = nullptr;
};

namespace {

struct Board {
    CPhidget view; // what the manager's handlers are given
    int version = 0;
    bool plugged = false;
};

std::map<int, std::unique_ptr<Board>> boards;
std::vector<CPhidgetManager*> managers;
std::vector<CPhidget*> handles;

fake::Core& core()
{
    return fake::Core::instance();
}

int counts(const std::string& type)
{
    if (type == "PhidgetLED")
        return 64;
    if (type == "PhidgetInterfaceKit")
        return 16;
    if (type == "PhidgetTextLCD")
        return 2;
    if (type == "PhidgetTextLED")
        return 4;
    return 4; // servo motors
}

// Checks a call on a board's handle; the library's result code. Writes are recorded.
int reach(const char* name, CPhidget* handle, int index, const std::string& arguments,
          bool write = true)
{
    std::lock_guard lock(core().registry);
    if (core().failing(name))
        return EPHIDGET_UNEXPECTED;
    const auto board = boards.find(handle ? handle->serial : -1);
    if (!handle || !handle->opened || board == boards.end() || !board->second->plugged ||
        board->second->view.type != handle->type)
        return EPHIDGET_NOTATTACHED;
    if (index < 0 || index >= counts(handle->type))
        return EPHIDGET_OUTOFBOUNDS;
    if (write)
        core().record(fakeCall(name, handle->serial, arguments));
    return EPHIDGET_OK;
}

// The board's events, on the library's thread: to every open manager and every open handle.
void announce(int serial, bool attached)
{
    core().post([serial, attached] {
        std::vector<std::pair<AttachHandler, void*>> calls;
        CPhidget* view = nullptr;
        {
            std::lock_guard lock(core().registry);
            const auto board = boards.find(serial);
            if (board == boards.end())
                return;
            view = &board->second->view;
            for (CPhidgetManager* manager : managers) {
                if (manager->opened)
                    calls.emplace_back(attached ? manager->onAttach : manager->onDetach,
                                       attached ? manager->attachContext : manager->detachContext);
            }
            for (CPhidget* handle : handles) {
                if (attached && handle->opened && handle->serial == serial &&
                    handle->type == view->type)
                    calls.emplace_back(handle->onAttach, handle->attachContext);
            }
        }
        for (auto [handler, context] : calls) {
            if (handler)
                handler(view, context);
        }
    });
}

int create(CPhidget** handle, const char* type)
{
    std::lock_guard lock(core().registry);
    *handle = new CPhidget;
    (*handle)->type = type;
    handles.push_back(*handle);
    return EPHIDGET_OK;
}

} // namespace

extern "C" {

FAKE_EXPORT int CPhidgetManager_create(CPhidgetManager** manager)
{
    std::lock_guard lock(core().registry);
    *manager = new CPhidgetManager;
    managers.push_back(*manager);
    return core().failing("CPhidgetManager_create") ? EPHIDGET_UNEXPECTED : EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_set_OnAttach_Handler(CPhidgetManager* manager, AttachHandler fn,
                                                     void* context)
{
    std::lock_guard lock(core().registry);
    manager->onAttach = fn;
    manager->attachContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_set_OnDetach_Handler(CPhidgetManager* manager, AttachHandler fn,
                                                     void* context)
{
    std::lock_guard lock(core().registry);
    manager->onDetach = fn;
    manager->detachContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_set_OnError_Handler(CPhidgetManager*, void*, void*)
{
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_open(CPhidgetManager* manager)
{
    std::vector<int> plugged;
    {
        std::lock_guard lock(core().registry);
        manager->opened = true;
        for (const auto& [serial, board] : boards) {
            if (board->plugged)
                plugged.push_back(serial);
        }
    }
    for (int serial : plugged)
        announce(serial, true);
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_close(CPhidgetManager* manager)
{
    {
        std::lock_guard lock(core().registry);
        manager->opened = false;
    }
    core().settle(); // no handler runs once closed
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_delete(CPhidgetManager* manager)
{
    std::lock_guard lock(core().registry);
    std::erase(managers, manager);
    delete manager;
    return EPHIDGET_OK;
}

FAKE_EXPORT int CPhidget_open(CPhidget* handle, int serial)
{
    bool plugged = false;
    {
        std::lock_guard lock(core().registry);
        handle->serial = serial;
        handle->opened = true;
        const auto board = boards.find(serial);
        plugged = board != boards.end() && board->second->plugged;
    }
    if (plugged)
        announce(serial, true);
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_close(CPhidget* handle)
{
    {
        std::lock_guard lock(core().registry);
        handle->opened = false;
    }
    core().settle();
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_delete(CPhidget* handle)
{
    std::lock_guard lock(core().registry);
    std::erase(handles, handle);
    delete handle;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_set_OnAttach_Handler(CPhidget* handle, AttachHandler fn, void* context)
{
    std::lock_guard lock(core().registry);
    handle->onAttach = fn;
    handle->attachContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_set_OnError_Handler(CPhidget* handle, ErrorHandler fn, void* context)
{
    std::lock_guard lock(core().registry);
    handle->onError = fn;
    handle->errorContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_getDeviceType(CPhidget* handle, const char** type)
{
    *type = handle->type.c_str();
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_getSerialNumber(CPhidget* handle, int* serial)
{
    *serial = handle->serial;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_getDeviceVersion(CPhidget* handle, int* version)
{
    std::lock_guard lock(core().registry);
    const auto board = boards.find(handle->serial);
    *version = board == boards.end() ? 0 : board->second->version;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_getLibraryVersion(const char** version)
{
    *version = "Phidget21 - Version 2.1.9 - Built Dec  6 2026 (test double)";
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_getErrorDescription(int code, const char** text)
{
    *text = code == EPHIDGET_NOTATTACHED   ? "Phidget not physically attached."
            : code == EPHIDGET_OUTOFBOUNDS ? "Index out of Bounds."
                                           : "Unexpected Error.";
    return EPHIDGET_OK;
}

FAKE_EXPORT int CPhidgetInterfaceKit_create(CPhidget** handle)
{
    return create(handle, "PhidgetInterfaceKit");
}
FAKE_EXPORT int CPhidgetInterfaceKit_getOutputCount(CPhidget* handle, int* count)
{
    const int result = reach("CPhidgetInterfaceKit_getOutputCount", handle, 0, "", false);
    *count = result == EPHIDGET_OK ? 16 : 0;
    return result;
}
FAKE_EXPORT int CPhidgetInterfaceKit_setOutputState(CPhidget* handle, int index, int state)
{
    return reach("CPhidgetInterfaceKit_setOutputState", handle, index,
                 std::to_string(index) + ' ' + std::to_string(state));
}
FAKE_EXPORT int CPhidgetLED_create(CPhidget** handle)
{
    return create(handle, "PhidgetLED");
}
FAKE_EXPORT int CPhidgetLED_getLEDCount(CPhidget* handle, int* count)
{
    const int result = reach("CPhidgetLED_getLEDCount", handle, 0, "", false);
    *count = result == EPHIDGET_OK ? 64 : 0;
    return result;
}
FAKE_EXPORT int CPhidgetLED_setDiscreteLED(CPhidget* handle, int index, int brightness)
{
    return reach("CPhidgetLED_setDiscreteLED", handle, index,
                 std::to_string(index) + ' ' + std::to_string(brightness));
}
FAKE_EXPORT int CPhidgetTextLCD_create(CPhidget** handle)
{
    return create(handle, "PhidgetTextLCD");
}
FAKE_EXPORT int CPhidgetTextLCD_setDisplayString(CPhidget* handle, int row, char* text)
{
    return reach("CPhidgetTextLCD_setDisplayString", handle, row,
                 std::to_string(row) + " '" + text + "'");
}
FAKE_EXPORT int CPhidgetTextLCD_setBrightness(CPhidget* handle, int brightness)
{
    return reach("CPhidgetTextLCD_setBrightness", handle, 0, std::to_string(brightness));
}
FAKE_EXPORT int CPhidgetTextLCD_setBacklight(CPhidget* handle, int state)
{
    return reach("CPhidgetTextLCD_setBacklight", handle, 0, std::to_string(state));
}
FAKE_EXPORT int CPhidgetTextLCD_setCursorOn(CPhidget* handle, int state)
{
    return reach("CPhidgetTextLCD_setCursorOn", handle, 0, std::to_string(state));
}
FAKE_EXPORT int CPhidgetTextLED_create(CPhidget** handle)
{
    return create(handle, "PhidgetTextLED");
}
FAKE_EXPORT int CPhidgetTextLED_setDisplayString(CPhidget* handle, int row, char* text)
{
    return reach("CPhidgetTextLED_setDisplayString", handle, row,
                 std::to_string(row) + " '" + text + "'");
}
FAKE_EXPORT int CPhidgetTextLED_setBrightness(CPhidget* handle, int brightness)
{
    return reach("CPhidgetTextLED_setBrightness", handle, 0, std::to_string(brightness));
}
FAKE_EXPORT int CPhidgetServo_create(CPhidget** handle)
{
    return create(handle, "PhidgetServo");
}
FAKE_EXPORT int CPhidgetServo_setPosition(CPhidget* handle, int index, double position)
{
    return reach("CPhidgetServo_setPosition", handle, index,
                 std::to_string(index) + ' ' + fakeNumber(position));
}

FAKE_EXPORT void FakePhidget_plug(const char* type, int serial, int version)
{
    {
        std::lock_guard lock(core().registry);
        auto& board = boards[serial];
        if (!board)
            board = std::make_unique<Board>();
        board->view.type = type;
        board->view.serial = serial;
        board->version = version;
        board->plugged = true;
    }
    announce(serial, true);
}
FAKE_EXPORT void FakePhidget_unplug(int serial)
{
    {
        std::lock_guard lock(core().registry);
        const auto board = boards.find(serial);
        if (board == boards.end())
            return;
        board->second->plugged = false;
    }
    announce(serial, false);
}
FAKE_EXPORT void FakePhidget_error(int serial, int code, const char* text)
{
    const std::string description = text;
    core().post([serial, code, description] {
        std::vector<CPhidget*> reached;
        {
            std::lock_guard lock(core().registry);
            for (CPhidget* handle : handles) {
                if (handle->opened && handle->serial == serial && handle->onError)
                    reached.push_back(handle);
            }
        }
        for (CPhidget* handle : reached)
            handle->onError(handle, handle->errorContext, code, description.c_str());
    });
}
FAKE_EXPORT void FakePhidget_reset()
{
    core().settle();
    std::lock_guard lock(core().registry);
    boards.clear();
    core().setFailing("");
    core().takeCalls();
}

} // extern "C"
