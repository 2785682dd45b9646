#include "phidget/virtual/VirtualHardwareService.h"

#include "phidget/virtual/VirtualHardware.h"

#include <QDBusError>
#include <QDBusMetaType>

namespace glimrow {

const QString VirtualHardwareService::kService = QStringLiteral("org.glimrow.VirtualHardware");
const QString VirtualHardwareService::kPath = QStringLiteral("/VirtualHardware");

QDBusArgument& operator<<(QDBusArgument& argument, const VirtualBoardInfo& info)
{
    argument.beginStructure();
    argument << info.type << info.serial << info.attached;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, VirtualBoardInfo& info)
{
    argument.beginStructure();
    argument >> info.type >> info.serial >> info.attached;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const VirtualPigeonholeInfo& info)
{
    argument.beginStructure();
    argument << info.number << info.bytes << info.writes;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, VirtualPigeonholeInfo& info)
{
    argument.beginStructure();
    argument >> info.number >> info.bytes >> info.writes;
    argument.endStructure();
    return argument;
}

VirtualHardwareService::VirtualHardwareService(VirtualHardware& hardware, QObject* parent)
    : QObject(parent), m_hardware(hardware)
{
    qDBusRegisterMetaType<VirtualBoardInfo>();
    qDBusRegisterMetaType<QList<VirtualBoardInfo>>();
    qDBusRegisterMetaType<VirtualPigeonholeInfo>();
    qDBusRegisterMetaType<QList<VirtualPigeonholeInfo>>();
}

bool VirtualHardwareService::registerOn(QDBusConnection bus, QString* error)
{
    if (!bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots)) {
        if (error)
            *error = QStringLiteral("cannot export %1: %2").arg(kPath, bus.lastError().message());
        return false;
    }
    if (!bus.registerService(kService)) {
        if (error)
            *error = QStringLiteral("cannot take %1: %2").arg(kService, bus.lastError().message());
        bus.unregisterObject(kPath);
        return false;
    }
    return true;
}

QList<VirtualBoardInfo> VirtualHardwareService::Boards() const
{
    QList<VirtualBoardInfo> boards;
    for (const VirtualDevice* device : m_hardware.devices())
        boards.append({device->type, device->serial, device->attached});
    return boards;
}

bool VirtualHardwareService::Attach(int serial)
{
    return m_hardware.attach(serial);
}

bool VirtualHardwareService::Detach(int serial)
{
    return m_hardware.detach(serial);
}

bool VirtualHardwareService::SetFailing(int serial, bool failing)
{
    return m_hardware.setFailing(serial, failing);
}

QList<int> VirtualHardwareService::Leds(int serial) const
{
    const VirtualDevice* device = m_hardware.device(serial);
    return device ? QList<int>(device->leds.begin(), device->leds.end()) : QList<int>();
}

QList<bool> VirtualHardwareService::Outputs(int serial) const
{
    const VirtualDevice* device = m_hardware.device(serial);
    return device ? QList<bool>(device->outputs.begin(), device->outputs.end()) : QList<bool>();
}

QStringList VirtualHardwareService::Rows(int serial) const
{
    const VirtualDevice* device = m_hardware.device(serial);
    return device ? device->rows : QStringList();
}

int VirtualHardwareService::Brightness(int serial) const
{
    const VirtualDevice* device = m_hardware.device(serial);
    return device ? device->brightness : 0;
}

bool VirtualHardwareService::Backlight(int serial) const
{
    const VirtualDevice* device = m_hardware.device(serial);
    return device && device->backlight;
}

bool VirtualHardwareService::CursorOn(int serial) const
{
    const VirtualDevice* device = m_hardware.device(serial);
    return device && device->cursorOn;
}

QList<double> VirtualHardwareService::MotorPositions(int serial) const
{
    const VirtualDevice* device = m_hardware.device(serial);
    return device ? QList<double>(device->motors.begin(), device->motors.end()) : QList<double>();
}

} // namespace glimrow

namespace glimrow {

bool VirtualHardwareService::EpicPresent() const
{
    return m_hardware.epicPresent();
}

void VirtualHardwareService::SetEpicPresent(bool present)
{
    m_hardware.setEpicPresent(present);
}

QList<VirtualPigeonholeInfo> VirtualHardwareService::Pigeonholes() const
{
    QList<VirtualPigeonholeInfo> pigeonholes;
    for (const VirtualHardware::EpicPigeonhole& entry : m_hardware.epicPigeonholes()) {
        pigeonholes.append({entry.number,
                            QByteArray(reinterpret_cast<const char*>(entry.bytes.data()), 4),
                            entry.writes});
    }
    return pigeonholes;
}

} // namespace glimrow
