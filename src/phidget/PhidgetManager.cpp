#include "phidget/PhidgetManager.h"

namespace glimrow {

PhidgetManager::PhidgetManager(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<PhidgetBoardPtr>();
}

} // namespace glimrow
