// A stand-in for libphidget22 with the functions the program calls. Boards appear as channels:
// an LED-64 as 64 digital outputs, an interface kit as 16 digital inputs and 16 outputs, a
// TextLCD as an LCD channel, a servo board as 4 RC servos, any other board as a hub channel;
// a TextLED board not at all. Calls that reach a channel are recorded as
// "name serial/channel arguments".

#include "FakeCore.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

struct PhidgetManager;
using ManagerHandler = void (*)(PhidgetManager*, void*, struct Phidget*);
using ChannelHandler = void (*)(struct Phidget*, void*);
using ErrorHandler = void (*)(struct Phidget*, void*, int, const char*);
using AsyncCallback = void (*)(struct Phidget*, void*, int);

struct Phidget {
    int channelClass = 0;
    int serial = -1;
    int channel = -1;
    bool opened = false;
    ChannelHandler onAttach = nullptr;
    void* attachContext = nullptr;
    ChannelHandler onDetach = nullptr;
    void* detachContext = nullptr;
    ErrorHandler onError = nullptr;
    void* errorContext = nullptr;
};

struct PhidgetManager {
    bool opened = false;
    ManagerHandler onAttach = nullptr;
    void* attachContext = nullptr;
    ManagerHandler onDetach = nullptr;
    void* detachContext = nullptr;
};

namespace {

constexpr int EPHIDGET_OK = 0;
constexpr int EPHIDGET_UNEXPECTED = 0x1c;
constexpr int EPHIDGET_NOTATTACHED = 0x34;
constexpr int DIGITALINPUT = 0x5, DIGITALOUTPUT = 0x6, LCD = 0xb, HUB = 0xd, RCSERVO = 0x16;

struct Kind {
    int deviceClass = 0;
    std::vector<std::pair<int, int>> channels; // class, count
};

Kind kindOf(const std::string& type)
{
    if (type == "PhidgetLED")
        return {0xb, {{DIGITALOUTPUT, 64}}};
    if (type == "PhidgetInterfaceKit")
        return {0x9, {{DIGITALINPUT, 16}, {DIGITALOUTPUT, 16}}};
    if (type == "PhidgetTextLCD")
        return {0x14, {{LCD, 1}}};
    if (type == "PhidgetServo")
        return {0x10, {{RCSERVO, 4}}};
    if (type == "PhidgetTextLED")
        return {};
    return {0x8, {{HUB, 1}}};
}

std::vector<PhidgetManager*> managers;
std::vector<Phidget*> handles;

// The handle is open on a channel the plugged board has. Under fake::guard().
bool onBoard(const Phidget* handle)
{
    const fake::Board* board = fake::plugged(handle->serial);
    if (!handle->opened || !board)
        return false;
    for (auto [channelClass, count] : kindOf(board->type).channels) {
        if (channelClass == handle->channelClass && handle->channel < count)
            return true;
    }
    return false;
}

// The board takes a call: its result, and the call recorded when it reached the board.
int take(const char* name, Phidget* handle, const std::string& arguments, bool fails)
{
    std::lock_guard lock(fake::guard());
    if (fails)
        return EPHIDGET_UNEXPECTED;
    if (std::find(handles.begin(), handles.end(), handle) == handles.end() || !onBoard(handle))
        return EPHIDGET_NOTATTACHED;
    fake::record(std::string(name) + ' ' + std::to_string(handle->serial) + '/' +
                 std::to_string(handle->channel) + ' ' + arguments);
    return EPHIDGET_OK;
}

bool failing(const char* name)
{
    std::lock_guard lock(fake::guard());
    return fake::failing(name);
}

int reach(const char* name, Phidget* handle, const std::string& arguments)
{
    fake::waitForTheBoard();
    return take(name, handle, arguments, failing(name));
}

// The _async form of `name`: it returns at once, and the handler hears the result on the
// library's thread once the board took the call. A call told to fail fails as it is made.
void reachLater(const char* name, Phidget* handle, std::string arguments, AsyncCallback fn,
                void* context)
{
    const bool fails = failing(name);
    fake::later(handle->serial, [=] {
        const int result = take(name, handle, arguments, fails);
        if (fn)
            fn(handle, context, result);
    });
}

int create(Phidget** handle, int channelClass)
{
    std::lock_guard lock(fake::guard());
    handles.push_back(*handle = new Phidget{channelClass});
    return EPHIDGET_OK;
}

int destroy(Phidget** handle)
{
    std::lock_guard lock(fake::guard());
    std::erase(handles, *handle);
    delete *handle;
    return EPHIDGET_OK;
}

} // namespace

void fake::announce(int serial, bool attached)
{
    std::vector<Phidget> views; // each channel as the manager shows it
    for (auto [channelClass, count] : kindOf(boardType(serial)).channels) {
        for (int channel = 0; channel < count; ++channel)
            views.push_back(Phidget{channelClass, serial, channel});
    }
    onLibraryThread([&] {
        for (PhidgetManager* manager : managers) {
            ManagerHandler handler = attached ? manager->onAttach : manager->onDetach;
            for (Phidget& view : views) {
                if (manager->opened && handler)
                    handler(manager, attached ? manager->attachContext : manager->detachContext,
                            &view);
            }
        }
        for (Phidget* handle : handles) {
            bool present = false;
            {
                std::lock_guard lock(guard());
                present =
                    handle->opened && handle->serial == serial && (!attached || onBoard(handle));
            }
            if (present && attached && handle->onAttach)
                handle->onAttach(handle, handle->attachContext);
            if (present && !attached && handle->onDetach)
                handle->onDetach(handle, handle->detachContext);
        }
    });
}

void fake::announceError(int serial, int code, const char* text)
{
    for (Phidget* handle : handles) {
        if (handle->opened && handle->serial == serial && handle->onError) {
            // One event, from the board's first open channel.
            onLibraryThread([&] { handle->onError(handle, handle->errorContext, code, text); });
            return;
        }
    }
}

FAKE_EXPORT int PhidgetManager_create(PhidgetManager** manager)
{
    managers.push_back(*manager = new PhidgetManager);
    return EPHIDGET_OK;
}
FAKE_EXPORT int PhidgetManager_delete(PhidgetManager** manager)
{
    std::erase(managers, *manager);
    delete *manager;
    return EPHIDGET_OK;
}
FAKE_EXPORT int PhidgetManager_setOnAttachHandler(PhidgetManager* manager, ManagerHandler fn,
                                                  void* context)
{
    return fake::setHandler(manager->onAttach, manager->attachContext, fn, context);
}
FAKE_EXPORT int PhidgetManager_setOnDetachHandler(PhidgetManager* manager, ManagerHandler fn,
                                                  void* context)
{
    return fake::setHandler(manager->onDetach, manager->detachContext, fn, context);
}
FAKE_EXPORT int PhidgetManager_open(PhidgetManager* manager)
{
    manager->opened = true;
    for (int serial : fake::pluggedSerials())
        fake::announce(serial, true);
    return EPHIDGET_OK;
}
FAKE_EXPORT int PhidgetManager_close(PhidgetManager* manager)
{
    manager->opened = false;
    return EPHIDGET_OK;
}

FAKE_EXPORT int Phidget_getDeviceClass(Phidget* phid, int* deviceClass)
{
    *deviceClass = kindOf(fake::boardType(phid->serial)).deviceClass;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getDeviceClassName(Phidget* phid, const char** name)
{
    std::lock_guard lock(fake::guard());
    *name = fake::boards()[phid->serial].type.c_str();
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getDeviceSerialNumber(Phidget* phid, std::int32_t* serial)
{
    *serial = phid->serial;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getDeviceVersion(Phidget* phid, int* version)
{
    std::lock_guard lock(fake::guard());
    *version = fake::boards()[phid->serial].version;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getDeviceChannelCount(Phidget* phid, int wanted, std::uint32_t* count)
{
    *count = 0;
    for (auto [channelClass, number] : kindOf(fake::boardType(phid->serial)).channels)
        *count += channelClass == wanted ? std::uint32_t(number) : 0;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getLibraryVersion(const char** version)
{
    *version = "Phidget22 - Version 1.19 - Built Dec 06 2026 (test double)";
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getErrorDescription(int, const char** text)
{
    *text = "Device not Attached";
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_setDeviceSerialNumber(Phidget* phid, std::int32_t serial)
{
    phid->serial = serial;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_setChannel(Phidget* phid, int channel)
{
    phid->channel = channel;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_setOnAttachHandler(Phidget* phid, ChannelHandler fn, void* context)
{
    return fake::setHandler(phid->onAttach, phid->attachContext, fn, context);
}
FAKE_EXPORT int Phidget_setOnDetachHandler(Phidget* phid, ChannelHandler fn, void* context)
{
    return fake::setHandler(phid->onDetach, phid->detachContext, fn, context);
}
FAKE_EXPORT int Phidget_setOnErrorHandler(Phidget* phid, ErrorHandler fn, void* context)
{
    return fake::setHandler(phid->onError, phid->errorContext, fn, context);
}
FAKE_EXPORT int Phidget_open(Phidget* phid)
{
    bool present = false;
    {
        std::lock_guard lock(fake::guard());
        phid->opened = true;
        present = onBoard(phid);
    }
    if (present && phid->onAttach)
        fake::onLibraryThread([phid] { phid->onAttach(phid, phid->attachContext); });
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_close(Phidget* phid)
{
    std::lock_guard lock(fake::guard());
    phid->opened = false;
    return EPHIDGET_OK;
}

FAKE_EXPORT int PhidgetDigitalOutput_create(Phidget** ch)
{
    return create(ch, DIGITALOUTPUT);
}
FAKE_EXPORT int PhidgetDigitalOutput_delete(Phidget** ch)
{
    return destroy(ch);
}
FAKE_EXPORT void PhidgetDigitalOutput_setState_async(Phidget* ch, int state, AsyncCallback fn,
                                                     void* context)
{
    reachLater("PhidgetDigitalOutput_setState", ch, fake::arguments(state), fn, context);
}
FAKE_EXPORT void PhidgetDigitalOutput_setDutyCycle_async(Phidget* ch, double dutyCycle,
                                                         AsyncCallback fn, void* context)
{
    reachLater("PhidgetDigitalOutput_setDutyCycle", ch, fake::arguments(dutyCycle), fn, context);
}
FAKE_EXPORT int PhidgetLCD_create(Phidget** ch)
{
    return create(ch, LCD);
}
FAKE_EXPORT int PhidgetLCD_delete(Phidget** ch)
{
    return destroy(ch);
}
FAKE_EXPORT void PhidgetLCD_writeText_async(Phidget* ch, int font, int x, int y, const char* text,
                                            AsyncCallback fn, void* context)
{
    reachLater("PhidgetLCD_writeText", ch, fake::arguments(font, x, y) + " '" + text + "'", fn,
               context);
}
FAKE_EXPORT void PhidgetLCD_flush_async(Phidget* ch, AsyncCallback fn, void* context)
{
    reachLater("PhidgetLCD_flush", ch, "", fn, context);
}
FAKE_EXPORT int PhidgetLCD_setBacklight(Phidget* ch, double backlight)
{
    return reach(__func__, ch, fake::arguments(backlight));
}
FAKE_EXPORT int PhidgetLCD_setCursorOn(Phidget* ch, int cursorOn)
{
    return reach(__func__, ch, fake::arguments(cursorOn));
}
FAKE_EXPORT int PhidgetRCServo_create(Phidget** ch)
{
    return create(ch, RCSERVO);
}
FAKE_EXPORT int PhidgetRCServo_delete(Phidget** ch)
{
    return destroy(ch);
}
FAKE_EXPORT int PhidgetRCServo_setTargetPosition(Phidget* ch, double position)
{
    return reach(__func__, ch, fake::arguments(position));
}
FAKE_EXPORT void PhidgetRCServo_setTargetPosition_async(Phidget* ch, double position,
                                                        AsyncCallback fn, void* context)
{
    reachLater("PhidgetRCServo_setTargetPosition", ch, fake::arguments(position), fn, context);
}
FAKE_EXPORT int PhidgetRCServo_setEngaged(Phidget* ch, int engaged)
{
    return reach(__func__, ch, fake::arguments(engaged));
}
FAKE_EXPORT int PhidgetRCServo_getMinPosition(Phidget*, double* position)
{
    *position = 0;
    return EPHIDGET_OK;
}
FAKE_EXPORT int PhidgetRCServo_getMaxPosition(Phidget*, double* position)
{
    *position = 180;
    return EPHIDGET_OK;
}
