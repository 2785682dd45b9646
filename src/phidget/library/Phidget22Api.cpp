#include "phidget/library/Phidget22Api.h"

#include "phidget/library/LibraryFunctions.h"

namespace glimrow::phidget22 {

std::shared_ptr<const Api> Api::load(const QString& file, QString* error)
{
    library::Functions functions(file);
    auto api = std::make_shared<Api>();
#define GLIMROW_RESOLVE(name) functions.resolve(#name, api->name)
    GLIMROW_RESOLVE(PhidgetManager_create);
    GLIMROW_RESOLVE(PhidgetManager_delete);
    GLIMROW_RESOLVE(PhidgetManager_open);
    GLIMROW_RESOLVE(PhidgetManager_close);
    GLIMROW_RESOLVE(PhidgetManager_setOnAttachHandler);
    GLIMROW_RESOLVE(PhidgetManager_setOnDetachHandler);
    GLIMROW_RESOLVE(Phidget_getDeviceClass);
    GLIMROW_RESOLVE(Phidget_getDeviceClassName);
    GLIMROW_RESOLVE(Phidget_getDeviceSerialNumber);
    GLIMROW_RESOLVE(Phidget_getDeviceVersion);
    GLIMROW_RESOLVE(Phidget_getDeviceChannelCount);
    GLIMROW_RESOLVE(Phidget_getLibraryVersion);
    GLIMROW_RESOLVE(Phidget_getErrorDescription);
    GLIMROW_RESOLVE(Phidget_setDeviceSerialNumber);
    GLIMROW_RESOLVE(Phidget_setChannel);
    GLIMROW_RESOLVE(Phidget_setOnAttachHandler);
    GLIMROW_RESOLVE(Phidget_setOnDetachHandler);
    GLIMROW_RESOLVE(Phidget_setOnErrorHandler);
    GLIMROW_RESOLVE(Phidget_open);
    GLIMROW_RESOLVE(Phidget_close);
    GLIMROW_RESOLVE(PhidgetDigitalOutput_create);
    GLIMROW_RESOLVE(PhidgetDigitalOutput_delete);
    GLIMROW_RESOLVE(PhidgetDigitalOutput_setState_async);
    GLIMROW_RESOLVE(PhidgetDigitalOutput_setDutyCycle_async);
    GLIMROW_RESOLVE(PhidgetLCD_create);
    GLIMROW_RESOLVE(PhidgetLCD_delete);
    GLIMROW_RESOLVE(PhidgetLCD_writeText_async);
    GLIMROW_RESOLVE(PhidgetLCD_flush_async);
    GLIMROW_RESOLVE(PhidgetLCD_setBacklight);
    GLIMROW_RESOLVE(PhidgetLCD_setCursorOn);
    GLIMROW_RESOLVE(PhidgetRCServo_create);
    GLIMROW_RESOLVE(PhidgetRCServo_delete);
    GLIMROW_RESOLVE(PhidgetRCServo_setTargetPosition);
    GLIMROW_RESOLVE(PhidgetRCServo_setTargetPosition_async);
    GLIMROW_RESOLVE(PhidgetRCServo_setEngaged);
    GLIMROW_RESOLVE(PhidgetRCServo_getMinPosition);
    GLIMROW_RESOLVE(PhidgetRCServo_getMaxPosition);
#undef GLIMROW_RESOLVE
    *error = functions.problem();
    return error->isEmpty() ? api : nullptr;
}

QString Api::describe(int code) const
{
    return library::errorText(Phidget_getErrorDescription, code);
}

} // namespace glimrow::phidget22
