#pragma once

// The few functions of libphidget22 (libphidget22.so.0) the program calls, declared from the
// vendor's published C API and looked up at run time, so the program runs without the library.

#include <QString>

#include <cstdint>
#include <memory>

namespace glimrow::phidget22 {

// The library's opaque handles; every channel handle is also a PhidgetHandle.
struct OpaquePhidget;
struct OpaqueManager;
using PhidgetHandle = OpaquePhidget*;
using PhidgetManagerHandle = OpaqueManager*;

constexpr int EPHIDGET_OK = 0;

// Phidget_DeviceClass values of the boards the program drives.
constexpr int PHIDCLASS_INTERFACEKIT = 0x9;
constexpr int PHIDCLASS_LED = 0xb;
constexpr int PHIDCLASS_SERVO = 0x10;
constexpr int PHIDCLASS_TEXTLCD = 0x14;
// Phidget_ChannelClass values of the channels it opens.
constexpr int PHIDCHCLASS_DIGITALOUTPUT = 0x6;
constexpr int PHIDCHCLASS_LCD = 0xb;
constexpr int PHIDCHCLASS_RCSERVO = 0x16;
// PhidgetLCD_Font of the character LCDs.
constexpr int FONT_5x8 = 0x4;

using ManagerHandler = void (*)(PhidgetManagerHandle manager, void* ctx, PhidgetHandle channel);
using ChannelHandler = void (*)(PhidgetHandle channel, void* ctx);
using ErrorHandler = void (*)(PhidgetHandle channel, void* ctx, int code, const char* text);
// Phidget_AsyncCallback: how an _async call reports its result, on a library thread.
using AsyncCallback = void (*)(PhidgetHandle channel, void* ctx, int result);

struct Api {
    // Loads the library and looks up every function; null with `error` set when it cannot.
    static std::shared_ptr<const Api> load(const QString& file, QString* error);

    // The library's text for an error code, or the code itself.
    QString describe(int code) const;

    int (*PhidgetManager_create)(PhidgetManagerHandle* manager);
    int (*PhidgetManager_delete)(PhidgetManagerHandle* manager);
    int (*PhidgetManager_open)(PhidgetManagerHandle manager);
    int (*PhidgetManager_close)(PhidgetManagerHandle manager);
    int (*PhidgetManager_setOnAttachHandler)(PhidgetManagerHandle, ManagerHandler, void*);
    int (*PhidgetManager_setOnDetachHandler)(PhidgetManagerHandle, ManagerHandler, void*);

    int (*Phidget_getDeviceClass)(PhidgetHandle phid, int* deviceClass);
    int (*Phidget_getDeviceClassName)(PhidgetHandle phid, const char** name);
    int (*Phidget_getDeviceSerialNumber)(PhidgetHandle phid, std::int32_t* serialNumber);
    int (*Phidget_getDeviceVersion)(PhidgetHandle phid, int* version);
    int (*Phidget_getDeviceChannelCount)(PhidgetHandle phid, int channelClass,
                                         std::uint32_t* count);
    int (*Phidget_getLibraryVersion)(const char** version);
    int (*Phidget_getErrorDescription)(int code, const char** text);
    int (*Phidget_setDeviceSerialNumber)(PhidgetHandle phid, std::int32_t serialNumber);
    int (*Phidget_setChannel)(PhidgetHandle phid, int channel);
    int (*Phidget_setOnAttachHandler)(PhidgetHandle phid, ChannelHandler, void* ctx);
    int (*Phidget_setOnDetachHandler)(PhidgetHandle phid, ChannelHandler, void* ctx);
    int (*Phidget_setOnErrorHandler)(PhidgetHandle phid, ErrorHandler, void* ctx);
    int (*Phidget_open)(PhidgetHandle phid);
    int (*Phidget_close)(PhidgetHandle phid);

    // Each channel class's create and delete; the handle is used as a PhidgetHandle.
    int (*PhidgetDigitalOutput_create)(PhidgetHandle* channel);
    int (*PhidgetDigitalOutput_delete)(PhidgetHandle* channel);
    // The update cycle's calls are the _async ones: they return at once.
    void (*PhidgetDigitalOutput_setState_async)(PhidgetHandle channel, int state, AsyncCallback,
                                                void* ctx);
    void (*PhidgetDigitalOutput_setDutyCycle_async)(PhidgetHandle channel, double dutyCycle,
                                                    AsyncCallback, void* ctx);
    int (*PhidgetLCD_create)(PhidgetHandle* channel);
    int (*PhidgetLCD_delete)(PhidgetHandle* channel);
    void (*PhidgetLCD_writeText_async)(PhidgetHandle channel, int font, int x, int y,
                                       const char* text, AsyncCallback, void* ctx);
    void (*PhidgetLCD_flush_async)(PhidgetHandle channel, AsyncCallback, void* ctx);
    int (*PhidgetLCD_setBacklight)(PhidgetHandle channel, double backlight);
    int (*PhidgetLCD_setCursorOn)(PhidgetHandle channel, int cursorOn);
    int (*PhidgetRCServo_create)(PhidgetHandle* channel);
    int (*PhidgetRCServo_delete)(PhidgetHandle* channel);
    int (*PhidgetRCServo_setTargetPosition)(PhidgetHandle channel, double position);
    void (*PhidgetRCServo_setTargetPosition_async)(PhidgetHandle channel, double position,
                                                   AsyncCallback, void* ctx);
    int (*PhidgetRCServo_setEngaged)(PhidgetHandle channel, int engaged);
    int (*PhidgetRCServo_getMinPosition)(PhidgetHandle channel, double* position);
    int (*PhidgetRCServo_getMaxPosition)(PhidgetHandle channel, double* position);
};

} // namespace glimrow::phidget22
