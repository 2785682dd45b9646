#include "phidget/library/Phidget21Api.h"

#include "phidget/library/LibraryFunctions.h"

namespace glimrow::phidget21 {

std::shared_ptr<const Api> Api::load(const QString& file, QString* error)
{
    library::Functions functions(file);
    auto api = std::make_shared<Api>();
#define GLIMROW_RESOLVE(name) functions.resolve(#name, api->name)
    GLIMROW_RESOLVE(CPhidgetManager_create);
    GLIMROW_RESOLVE(CPhidgetManager_open);
    GLIMROW_RESOLVE(CPhidgetManager_close);
    GLIMROW_RESOLVE(CPhidgetManager_delete);
    GLIMROW_RESOLVE(CPhidgetManager_set_OnAttach_Handler);
    GLIMROW_RESOLVE(CPhidgetManager_set_OnDetach_Handler);
    GLIMROW_RESOLVE(CPhidgetManager_set_OnError_Handler);
    GLIMROW_RESOLVE(CPhidget_open);
    GLIMROW_RESOLVE(CPhidget_close);
    GLIMROW_RESOLVE(CPhidget_delete);
    GLIMROW_RESOLVE(CPhidget_set_OnAttach_Handler);
    GLIMROW_RESOLVE(CPhidget_set_OnError_Handler);
    GLIMROW_RESOLVE(CPhidget_getDeviceType);
    GLIMROW_RESOLVE(CPhidget_getSerialNumber);
    GLIMROW_RESOLVE(CPhidget_getDeviceVersion);
    GLIMROW_RESOLVE(CPhidget_getLibraryVersion);
    GLIMROW_RESOLVE(CPhidget_getErrorDescription);
    GLIMROW_RESOLVE(CPhidgetInterfaceKit_create);
    GLIMROW_RESOLVE(CPhidgetInterfaceKit_getOutputCount);
    GLIMROW_RESOLVE(CPhidgetInterfaceKit_setOutputState);
    GLIMROW_RESOLVE(CPhidgetLED_create);
    GLIMROW_RESOLVE(CPhidgetLED_getLEDCount);
    GLIMROW_RESOLVE(CPhidgetLED_setDiscreteLED);
    GLIMROW_RESOLVE(CPhidgetTextLCD_create);
    GLIMROW_RESOLVE(CPhidgetTextLCD_setDisplayString);
    GLIMROW_RESOLVE(CPhidgetTextLCD_setBrightness);
    GLIMROW_RESOLVE(CPhidgetTextLCD_setBacklight);
    GLIMROW_RESOLVE(CPhidgetTextLCD_setCursorOn);
    GLIMROW_RESOLVE(CPhidgetTextLED_create);
    GLIMROW_RESOLVE(CPhidgetTextLED_setDisplayString);
    GLIMROW_RESOLVE(CPhidgetTextLED_setBrightness);
    GLIMROW_RESOLVE(CPhidgetServo_create);
    GLIMROW_RESOLVE(CPhidgetServo_setPosition);
    GLIMROW_RESOLVE(CPhidgetServo_getPositionMin);
    GLIMROW_RESOLVE(CPhidgetServo_getPositionMax);
#undef GLIMROW_RESOLVE
    *error = functions.problem();
    return error->isEmpty() ? api : nullptr;
}

QString Api::describe(int code) const
{
    return library::errorText(CPhidget_getErrorDescription, code);
}

} // namespace glimrow::phidget21
