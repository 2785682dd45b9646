// A stand-in for libphidget21 with the functions the program calls. Calls that reach a board
// are recorded as "name serial arguments"; the counts are those of the real boards.

#include "FakeCore.h"

#include <cstring>
#include <string>
#include <vector>

using AttachHandler = int (*)(struct CPhidget*, void*);
using ErrorHandler = int (*)(struct CPhidget*, void*, int, const char*);

struct CPhidget {
    std::string type; // the kind it was created for, or the board's for the manager's view
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

constexpr int EPHIDGET_OK = 0;
constexpr int EPHIDGET_UNEXPECTED = 3;
constexpr int EPHIDGET_INVALIDARG = 4;
constexpr int EPHIDGET_NOTATTACHED = 5;
constexpr int EPHIDGET_UNSUPPORTED = 11;
constexpr int EPHIDGET_OUTOFBOUNDS = 14;

std::vector<CPhidgetManager*> managers;
std::vector<CPhidget*> handles;

bool reaches(const CPhidget* handle, int serial, const std::string& type)
{
    return handle->opened && handle->serial == serial && handle->type == type;
}

// A call on a board's handle: the library's result code; the ones that write are recorded.
int reach(const char* name, CPhidget* handle, int index, const std::string& arguments,
          int count = 1)
{
    std::lock_guard lock(fake::guard());
    if (fake::failing(name))
        return EPHIDGET_UNEXPECTED;
    const fake::Board* board = fake::plugged(handle->serial);
    if (!board || !reaches(handle, handle->serial, board->type))
        return EPHIDGET_NOTATTACHED;
    if (index < 0 || index >= count)
        return EPHIDGET_OUTOFBOUNDS;
    fake::record(std::string(name) + ' ' + std::to_string(handle->serial) + ' ' + arguments);
    return EPHIDGET_OK;
}

// The library queues a lamp, an output or a motor position for its write thread and returns;
// display settings and rows go out as USB packets the caller waits for.
int reachAndWait(const char* name, CPhidget* handle, int index, const std::string& arguments,
                 int count = 1)
{
    fake::waitForTheBoard();
    return reach(name, handle, index, arguments, count);
}

int create(CPhidget** handle, const char* type)
{
    handles.push_back(*handle = new CPhidget{type});
    return EPHIDGET_OK;
}

} // namespace

void fake::announce(int serial, bool attached)
{
    CPhidget view{boardType(serial), serial};
    onLibraryThread([&] {
        for (CPhidgetManager* manager : managers) {
            if (manager->opened && attached && manager->onAttach)
                manager->onAttach(&view, manager->attachContext);
            if (manager->opened && !attached && manager->onDetach)
                manager->onDetach(&view, manager->detachContext);
        }
        for (CPhidget* handle : handles) {
            if (attached && reaches(handle, serial, view.type) && handle->onAttach)
                handle->onAttach(handle, handle->attachContext);
        }
    });
}

void fake::announceError(int serial, int code, const char* text)
{
    onLibraryThread([&] {
        for (CPhidget* handle : handles) {
            if (handle->opened && handle->serial == serial && handle->onError)
                handle->onError(handle, handle->errorContext, code, text);
        }
    });
}

FAKE_EXPORT int CPhidgetManager_create(CPhidgetManager** manager)
{
    managers.push_back(*manager = new CPhidgetManager);
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_set_OnAttach_Handler(CPhidgetManager* manager, AttachHandler fn,
                                                     void* context)
{
    return fake::setHandler(manager->onAttach, manager->attachContext, fn, context);
}
FAKE_EXPORT int CPhidgetManager_set_OnDetach_Handler(CPhidgetManager* manager, AttachHandler fn,
                                                     void* context)
{
    return fake::setHandler(manager->onDetach, manager->detachContext, fn, context);
}
FAKE_EXPORT int CPhidgetManager_set_OnError_Handler(CPhidgetManager*, void*, void*)
{
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_open(CPhidgetManager* manager)
{
    manager->opened = true;
    for (int serial : fake::pluggedSerials())
        fake::announce(serial, true);
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_close(CPhidgetManager* manager)
{
    manager->opened = false;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetManager_delete(CPhidgetManager* manager)
{
    std::erase(managers, manager);
    delete manager;
    return EPHIDGET_OK;
}

FAKE_EXPORT int CPhidget_open(CPhidget* handle, int serial)
{
    bool present = false;
    {
        std::lock_guard lock(fake::guard());
        handle->serial = serial;
        handle->opened = true;
        const fake::Board* board = fake::plugged(serial);
        present = board && board->type == handle->type;
    }
    if (present && handle->onAttach)
        fake::onLibraryThread([handle] { handle->onAttach(handle, handle->attachContext); });
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_close(CPhidget* handle)
{
    std::lock_guard lock(fake::guard());
    handle->opened = false;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_delete(CPhidget* handle)
{
    std::erase(handles, handle);
    delete handle;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_set_OnAttach_Handler(CPhidget* handle, AttachHandler fn, void* context)
{
    return fake::setHandler(handle->onAttach, handle->attachContext, fn, context);
}
FAKE_EXPORT int CPhidget_set_OnError_Handler(CPhidget* handle, ErrorHandler fn, void* context)
{
    return fake::setHandler(handle->onError, handle->errorContext, fn, context);
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
    std::lock_guard lock(fake::guard());
    *version = fake::boards()[handle->serial].version;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_getLibraryVersion(const char** version)
{
    *version = "Phidget21 - Version 2.1.9 - Built Dec  6 2026 (test double)";
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidget_getErrorDescription(int, const char** text)
{
    *text = "Phidget not physically attached.";
    return EPHIDGET_OK;
}

FAKE_EXPORT int CPhidgetInterfaceKit_create(CPhidget** h)
{
    return create(h, "PhidgetInterfaceKit");
}
FAKE_EXPORT int CPhidgetInterfaceKit_getOutputCount(CPhidget*, int* count)
{
    *count = 16;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetInterfaceKit_setOutputState(CPhidget* h, int index, int state)
{
    return reach(__func__, h, index, fake::arguments(index, state), 16);
}
FAKE_EXPORT int CPhidgetLED_create(CPhidget** h)
{
    return create(h, "PhidgetLED");
}
FAKE_EXPORT int CPhidgetLED_getLEDCount(CPhidget*, int* count)
{
    *count = 64;
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetLED_setDiscreteLED(CPhidget* h, int index, int brightness)
{
    return reach(__func__, h, index, fake::arguments(index, brightness), 64);
}
FAKE_EXPORT int CPhidgetTextLCD_create(CPhidget** h)
{
    return create(h, "PhidgetTextLCD");
}
FAKE_EXPORT int CPhidgetTextLCD_setDisplayString(CPhidget* h, int row, char* text)
{
    if (std::strlen(text) > 20)
        return EPHIDGET_INVALIDARG; // the library refuses what does not fit, it does not cut
    return reachAndWait(__func__, h, row, fake::arguments(row) + " '" + text + "'", 2);
}
FAKE_EXPORT int CPhidgetTextLCD_setBrightness(CPhidget* h, int brightness)
{
    {
        std::lock_guard lock(fake::guard());
        const fake::Board* board = fake::plugged(h->serial);
        if (board && board->version < 200)
            return EPHIDGET_UNSUPPORTED; // older TextLCDs have a backlight, not its brightness
    }
    if (brightness < 0 || brightness > 255)
        return EPHIDGET_INVALIDARG;
    return reachAndWait(__func__, h, 0, fake::arguments(brightness));
}
FAKE_EXPORT int CPhidgetTextLCD_setBacklight(CPhidget* h, int state)
{
    return reachAndWait(__func__, h, 0, fake::arguments(state));
}
FAKE_EXPORT int CPhidgetTextLCD_setCursorOn(CPhidget* h, int state)
{
    return reachAndWait(__func__, h, 0, fake::arguments(state));
}
FAKE_EXPORT int CPhidgetTextLED_create(CPhidget** h)
{
    return create(h, "PhidgetTextLED");
}
FAKE_EXPORT int CPhidgetTextLED_setDisplayString(CPhidget* h, int row, char* text)
{
    if (std::strlen(text) > 8)
        return EPHIDGET_INVALIDARG;
    return reachAndWait(__func__, h, row, fake::arguments(row) + " '" + text + "'", 4);
}
FAKE_EXPORT int CPhidgetTextLED_setBrightness(CPhidget* h, int brightness)
{
    return reachAndWait(__func__, h, 0, fake::arguments(brightness));
}
FAKE_EXPORT int CPhidgetServo_create(CPhidget** h)
{
    return create(h, "PhidgetServo");
}
FAKE_EXPORT int CPhidgetServo_setPosition(CPhidget* h, int index, double position)
{
    return reach(__func__, h, index, fake::arguments(index, position), 4);
}
FAKE_EXPORT int CPhidgetServo_getPositionMin(CPhidget*, int, double* position)
{
    *position = -23; // an old servo board's own range, in degrees
    return EPHIDGET_OK;
}
FAKE_EXPORT int CPhidgetServo_getPositionMax(CPhidget*, int, double* position)
{
    *position = 232;
    return EPHIDGET_OK;
}
