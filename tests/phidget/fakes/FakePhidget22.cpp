// A stand-in for libphidget22 with the functions the program calls: boards plugged in by the
// test appear as channels (an LED-64 as 64 digital outputs, an interface kit as 16 digital
// outputs and 16 inputs, a TextLCD as an LCD channel, a servo board as 4 RC servos; a TextLED
// board not at all), events come from a thread of its own, every call that reaches a channel
// is recorded as "name serial/channel arguments".

#include "FakeControl.h"
#include "FakeCore.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int EPHIDGET_OK = 0;
constexpr int EPHIDGET_UNEXPECTED = 0x1c;
constexpr int EPHIDGET_NOTATTACHED = 0x34;
constexpr int DIGITALINPUT = 0x5;
constexpr int DIGITALOUTPUT = 0x6;
constexpr int LCD = 0xb;
constexpr int RCSERVO = 0x16;
constexpr int HUB = 0xd;

} // namespace

struct PhidgetManager;
using ManagerHandler = void (*)(PhidgetManager*, void*, struct Phidget*);
using ChannelHandler = void (*)(struct Phidget*, void*);
using ErrorHandler = void (*)(struct Phidget*, void*, int, const char*);

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

struct Board {
    std::string className;
    int deviceClass = 0;
    int version = 0;
    bool plugged = false;
    std::vector<std::unique_ptr<Phidget>> channels; // what the manager's handlers are given
};

std::map<int, std::unique_ptr<Board>> boards;
std::vector<PhidgetManager*> managers;
std::vector<Phidget*> handles;

fake::Core& core()
{
    return fake::Core::instance();
}

void addChannels(Board& board, int serial, int channelClass, int count)
{
    for (int index = 0; index < count; ++index) {
        auto channel = std::make_unique<Phidget>();
        channel->channelClass = channelClass;
        channel->serial = serial;
        channel->channel = index;
        board.channels.push_back(std::move(channel));
    }
}

// The board as the library knows it; false for a board it does not know.
bool describe(Board& board, const std::string& type, int serial)
{
    board.className = type;
    board.channels.clear();
    if (type == "PhidgetLED") {
        board.deviceClass = 0xb;
        addChannels(board, serial, DIGITALOUTPUT, 64);
    } else if (type == "PhidgetInterfaceKit") {
        board.deviceClass = 0x9;
        addChannels(board, serial, DIGITALINPUT, 16);
        addChannels(board, serial, DIGITALOUTPUT, 16);
    } else if (type == "PhidgetTextLCD") {
        board.deviceClass = 0x14;
        addChannels(board, serial, LCD, 1);
    } else if (type == "PhidgetServo") {
        board.deviceClass = 0x10;
        addChannels(board, serial, RCSERVO, 4);
    } else if (type == "PhidgetTextLED") {
        return false;
    } else {
        board.deviceClass = 0x8;
        addChannels(board, serial, HUB, 1);
    }
    return true;
}

Board* boardAt(int serial)
{
    const auto board = boards.find(serial);
    return board == boards.end() ? nullptr : board->second.get();
}

Board* boardOf(const Phidget* handle)
{
    return handle ? boardAt(handle->serial) : nullptr;
}

bool hasChannel(const Board& board, const Phidget& handle)
{
    for (const auto& channel : board.channels) {
        if (channel->channelClass == handle.channelClass && channel->channel == handle.channel)
            return true;
    }
    return false;
}

// Checks a call on an open channel and records it; the library's result code.
int reach(const char* name, Phidget* handle, const std::string& arguments)
{
    std::lock_guard lock(core().registry);
    if (core().failing(name))
        return EPHIDGET_UNEXPECTED;
    const Board* board = boardOf(handle);
    if (!handle->opened || !board || !board->plugged || !hasChannel(*board, *handle))
        return EPHIDGET_NOTATTACHED;
    core().record(name + (' ' + std::to_string(handle->serial) + '/' +
                          std::to_string(handle->channel) + ' ' + arguments));
    return EPHIDGET_OK;
}

// The board's events, on the library's thread: every channel to every open manager, and to
// every open handle on one of its channels.
void announce(int serial, bool attached)
{
    core().post([serial, attached] {
        struct Call {
            ManagerHandler manager = nullptr;
            PhidgetManager* from = nullptr;
            ChannelHandler channel = nullptr;
            void* context = nullptr;
            Phidget* phid = nullptr;
        };
        std::vector<Call> calls;
        {
            std::lock_guard lock(core().registry);
            Board* board = boardAt(serial);
            if (!board)
                return;
            for (PhidgetManager* manager : managers) {
                if (!manager->opened)
                    continue;
                for (const auto& channel : board->channels) {
                    calls.push_back({attached ? manager->onAttach : manager->onDetach, manager,
                                     nullptr,
                                     attached ? manager->attachContext : manager->detachContext,
                                     channel.get()});
                }
            }
            for (Phidget* handle : handles) {
                if (handle->opened && handle->serial == serial && hasChannel(*board, *handle))
                    calls.push_back(
                        {nullptr, nullptr, attached ? handle->onAttach : handle->onDetach,
                         attached ? handle->attachContext : handle->detachContext, handle});
            }
        }
        for (const Call& call : calls) {
            if (call.manager)
                call.manager(call.from, call.context, call.phid);
            else if (call.channel)
                call.channel(call.phid, call.context);
        }
    });
}

int create(Phidget** handle, int channelClass)
{
    std::lock_guard lock(core().registry);
    *handle = new Phidget;
    (*handle)->channelClass = channelClass;
    handles.push_back(*handle);
    return EPHIDGET_OK;
}

int destroy(Phidget** handle)
{
    std::lock_guard lock(core().registry);
    std::erase(handles, *handle);
    delete *handle;
    *handle = nullptr;
    return EPHIDGET_OK;
}

} // namespace

extern "C" {

FAKE_EXPORT int PhidgetManager_create(PhidgetManager** manager)
{
    std::lock_guard lock(core().registry);
    *manager = new PhidgetManager;
    managers.push_back(*manager);
    return EPHIDGET_OK;
}
FAKE_EXPORT int PhidgetManager_delete(PhidgetManager** manager)
{
    std::lock_guard lock(core().registry);
    std::erase(managers, *manager);
    delete *manager;
    *manager = nullptr;
    return EPHIDGET_OK;
}
FAKE_EXPORT int PhidgetManager_setOnAttachHandler(PhidgetManager* manager, ManagerHandler fn,
                                                  void* context)
{
    std::lock_guard lock(core().registry);
    manager->onAttach = fn;
    manager->attachContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int PhidgetManager_setOnDetachHandler(PhidgetManager* manager, ManagerHandler fn,
                                                  void* context)
{
    std::lock_guard lock(core().registry);
    manager->onDetach = fn;
    manager->detachContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int PhidgetManager_open(PhidgetManager* manager)
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
FAKE_EXPORT int PhidgetManager_close(PhidgetManager* manager)
{
    {
        std::lock_guard lock(core().registry);
        manager->opened = false;
    }
    core().settle(); // no handler runs once closed
    return EPHIDGET_OK;
}

FAKE_EXPORT int Phidget_getDeviceClass(Phidget* phid, int* deviceClass)
{
    std::lock_guard lock(core().registry);
    const Board* board = boardOf(phid);
    *deviceClass = board ? board->deviceClass : 0;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getDeviceClassName(Phidget* phid, const char** name)
{
    std::lock_guard lock(core().registry);
    const Board* board = boardOf(phid);
    *name = board ? board->className.c_str() : "PhidgetNone";
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getDeviceSerialNumber(Phidget* phid, std::int32_t* serial)
{
    *serial = phid->serial;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getDeviceVersion(Phidget* phid, int* version)
{
    std::lock_guard lock(core().registry);
    const Board* board = boardOf(phid);
    *version = board ? board->version : 0;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getDeviceChannelCount(Phidget* phid, int channelClass, std::uint32_t* count)
{
    std::lock_guard lock(core().registry);
    *count = 0;
    if (const Board* board = boardOf(phid)) {
        for (const auto& channel : board->channels)
            *count += channel->channelClass == channelClass ? 1 : 0;
    }
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getLibraryVersion(const char** version)
{
    *version = "Phidget22 - Version 1.19 - Built Dec 06 2026 (test double)";
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_getErrorDescription(int code, const char** text)
{
    *text = code == EPHIDGET_NOTATTACHED ? "Device not Attached" : "Unexpected Error";
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_setDeviceSerialNumber(Phidget* phid, std::int32_t serial)
{
    std::lock_guard lock(core().registry);
    phid->serial = serial;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_setChannel(Phidget* phid, int channel)
{
    std::lock_guard lock(core().registry);
    phid->channel = channel;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_setOnAttachHandler(Phidget* phid, ChannelHandler fn, void* context)
{
    std::lock_guard lock(core().registry);
    phid->onAttach = fn;
    phid->attachContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_setOnDetachHandler(Phidget* phid, ChannelHandler fn, void* context)
{
    std::lock_guard lock(core().registry);
    phid->onDetach = fn;
    phid->detachContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_setOnErrorHandler(Phidget* phid, ErrorHandler fn, void* context)
{
    std::lock_guard lock(core().registry);
    phid->onError = fn;
    phid->errorContext = context;
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_open(Phidget* phid)
{
    if (core().failing("Phidget_open"))
        return EPHIDGET_UNEXPECTED;
    bool present = false;
    {
        std::lock_guard lock(core().registry);
        phid->opened = true;
        const Board* board = boardOf(phid);
        present = board && board->plugged && hasChannel(*board, *phid);
    }
    if (present) {
        core().post([phid] {
            ChannelHandler handler = nullptr;
            void* context = nullptr;
            {
                std::lock_guard lock(core().registry);
                if (!phid->opened)
                    return;
                handler = phid->onAttach;
                context = phid->attachContext;
            }
            if (handler)
                handler(phid, context);
        });
    }
    return EPHIDGET_OK;
}
FAKE_EXPORT int Phidget_close(Phidget* phid)
{
    {
        std::lock_guard lock(core().registry);
        phid->opened = false;
    }
    core().settle();
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
FAKE_EXPORT int PhidgetDigitalOutput_setState(Phidget* ch, int state)
{
    return reach("PhidgetDigitalOutput_setState", ch, std::to_string(state));
}
FAKE_EXPORT int PhidgetDigitalOutput_setDutyCycle(Phidget* ch, double dutyCycle)
{
    return reach("PhidgetDigitalOutput_setDutyCycle", ch, fakeNumber(dutyCycle));
}
FAKE_EXPORT int PhidgetLCD_create(Phidget** ch)
{
    return create(ch, LCD);
}
FAKE_EXPORT int PhidgetLCD_delete(Phidget** ch)
{
    return destroy(ch);
}
FAKE_EXPORT int PhidgetLCD_writeText(Phidget* ch, int font, int x, int y, const char* text)
{
    return reach("PhidgetLCD_writeText", ch,
                 std::to_string(font) + ' ' + std::to_string(x) + ' ' + std::to_string(y) + " '" +
                     text + "'");
}
FAKE_EXPORT int PhidgetLCD_flush(Phidget* ch)
{
    return reach("PhidgetLCD_flush", ch, "");
}
FAKE_EXPORT int PhidgetLCD_setBacklight(Phidget* ch, double backlight)
{
    return reach("PhidgetLCD_setBacklight", ch, fakeNumber(backlight));
}
FAKE_EXPORT int PhidgetLCD_setCursorOn(Phidget* ch, int cursorOn)
{
    return reach("PhidgetLCD_setCursorOn", ch, std::to_string(cursorOn));
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
    return reach("PhidgetRCServo_setTargetPosition", ch, fakeNumber(position));
}
FAKE_EXPORT int PhidgetRCServo_setEngaged(Phidget* ch, int engaged)
{
    return reach("PhidgetRCServo_setEngaged", ch, std::to_string(engaged));
}

FAKE_EXPORT void FakePhidget_plug(const char* type, int serial, int version)
{
    {
        std::lock_guard lock(core().registry);
        auto board = std::make_unique<Board>();
        if (!describe(*board, type, serial))
            return; // the library does not know this board
        board->version = version;
        board->plugged = true;
        if (auto& known = boards[serial]; known && known->className == type)
            known->plugged = true; // the same channel objects come back
        else
            known = std::move(board);
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
        Phidget* reached = nullptr;
        {
            std::lock_guard lock(core().registry);
            for (Phidget* handle : handles) {
                if (handle->opened && handle->serial == serial && handle->onError) {
                    reached = handle;
                    break; // one event, from the board's first open channel
                }
            }
        }
        if (reached)
            reached->onError(reached, reached->errorContext, code, description.c_str());
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
