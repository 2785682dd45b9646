#pragma once

// The few functions of libphidget21 (libphidget21.so.0) the program calls, declared from the
// vendor's published C API and looked up at run time, so the program runs without the library.

#include <QString>

#include <memory>

namespace glimrow::phidget21 {

// The library's opaque handles.
struct OpaquePhidget;
struct OpaqueManager;
using CPhidgetHandle = OpaquePhidget*;
using CPhidgetManagerHandle = OpaqueManager*;

constexpr int EPHIDGET_OK = 0;
constexpr int EPHIDGET_UNSUPPORTED = 11; // the board lacks the feature

using AttachHandler = int (*)(CPhidgetHandle phid, void* userPtr);
using ManagerErrorHandler = int (*)(CPhidgetManagerHandle phidm, void* userPtr, int errorCode,
                                    const char* errorString);
using ErrorHandler = int (*)(CPhidgetHandle phid, void* userPtr, int errorCode,
                             const char* errorString);

struct Api {
    // Loads the library and looks up every function; null with `error` set when it cannot.
    static std::shared_ptr<const Api> load(const QString& file, QString* error);

    // The library's text for an error code, or the code itself.
    QString describe(int code) const;

    int (*CPhidgetManager_create)(CPhidgetManagerHandle* phidm);
    int (*CPhidgetManager_open)(CPhidgetManagerHandle phidm);
    int (*CPhidgetManager_close)(CPhidgetManagerHandle phidm);
    int (*CPhidgetManager_delete)(CPhidgetManagerHandle phidm);
    int (*CPhidgetManager_set_OnAttach_Handler)(CPhidgetManagerHandle, AttachHandler, void*);
    int (*CPhidgetManager_set_OnDetach_Handler)(CPhidgetManagerHandle, AttachHandler, void*);
    int (*CPhidgetManager_set_OnError_Handler)(CPhidgetManagerHandle, ManagerErrorHandler, void*);

    int (*CPhidget_open)(CPhidgetHandle phid, int serialNumber);
    int (*CPhidget_close)(CPhidgetHandle phid);
    int (*CPhidget_delete)(CPhidgetHandle phid);
    int (*CPhidget_set_OnAttach_Handler)(CPhidgetHandle, AttachHandler, void*);
    int (*CPhidget_set_OnError_Handler)(CPhidgetHandle, ErrorHandler, void*);
    int (*CPhidget_getDeviceType)(CPhidgetHandle phid, const char** deviceType);
    int (*CPhidget_getSerialNumber)(CPhidgetHandle phid, int* serialNumber);
    int (*CPhidget_getDeviceVersion)(CPhidgetHandle phid, int* deviceVersion);
    int (*CPhidget_getLibraryVersion)(const char** libraryVersion);
    int (*CPhidget_getErrorDescription)(int errorCode, const char** errorString);

    // Each kind's create function makes a handle of that kind; it is used as a CPhidgetHandle.
    int (*CPhidgetInterfaceKit_create)(CPhidgetHandle* phid);
    int (*CPhidgetInterfaceKit_getOutputCount)(CPhidgetHandle phid, int* count);
    int (*CPhidgetInterfaceKit_setOutputState)(CPhidgetHandle phid, int index, int state);
    int (*CPhidgetLED_create)(CPhidgetHandle* phid);
    int (*CPhidgetLED_getLEDCount)(CPhidgetHandle phid, int* count);
    int (*CPhidgetLED_setDiscreteLED)(CPhidgetHandle phid, int index, int brightness);
    int (*CPhidgetTextLCD_create)(CPhidgetHandle* phid);
    int (*CPhidgetTextLCD_setDisplayString)(CPhidgetHandle phid, int index, char* text);
    int (*CPhidgetTextLCD_setBrightness)(CPhidgetHandle phid, int brightness);
    int (*CPhidgetTextLCD_setBacklight)(CPhidgetHandle phid, int state);
    int (*CPhidgetTextLCD_setCursorOn)(CPhidgetHandle phid, int state);
    int (*CPhidgetTextLED_create)(CPhidgetHandle* phid);
    int (*CPhidgetTextLED_setDisplayString)(CPhidgetHandle phid, int index, char* text);
    int (*CPhidgetTextLED_setBrightness)(CPhidgetHandle phid, int brightness);
    int (*CPhidgetServo_create)(CPhidgetHandle* phid);
    int (*CPhidgetServo_setPosition)(CPhidgetHandle phid, int index, double position);
    int (*CPhidgetServo_getPositionMin)(CPhidgetHandle phid, int index, double* position);
    int (*CPhidgetServo_getPositionMax)(CPhidgetHandle phid, int index, double* position);
};

} // namespace glimrow::phidget21
