#pragma once

// The virtual hardware on the session bus (name and interface org.glimrow.VirtualHardware,
// path /VirtualHardware), so that scripts and tests can plug boards in and out and read what
// the program wrote to them.

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QStringList>

namespace glimrow {

class VirtualHardware;

// One entry of Boards(): device type text, serial number, attached.
struct VirtualBoardInfo {
    QString type;
    int serial = 0;
    bool attached = false;
};
QDBusArgument& operator<<(QDBusArgument& argument, const VirtualBoardInfo& info);
const QDBusArgument& operator>>(const QDBusArgument& argument, VirtualBoardInfo& info);

// One entry of Pigeonholes(): number, its four bytes, number of writes.
struct VirtualPigeonholeInfo {
    int number = 0;
    QByteArray bytes;
    int writes = 0;
};
QDBusArgument& operator<<(QDBusArgument& argument, const VirtualPigeonholeInfo& info);
const QDBusArgument& operator>>(const QDBusArgument& argument, VirtualPigeonholeInfo& info);

class VirtualHardwareService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.glimrow.VirtualHardware")

public:
    static const QString kService;
    static const QString kPath;

    explicit VirtualHardwareService(VirtualHardware& hardware, QObject* parent = nullptr);

    // Exports the object and takes the name; false (the reason in `error`) when refused.
    bool registerOn(QDBusConnection bus, QString* error = nullptr);

public slots:
    QList<glimrow::VirtualBoardInfo> Boards() const;
    bool Attach(int serial);
    bool Detach(int serial);
    bool SetFailing(int serial, bool failing);
    QList<int> Leds(int serial) const;
    QList<bool> Outputs(int serial) const;
    QStringList Rows(int serial) const;
    int Brightness(int serial) const;
    bool Backlight(int serial) const;
    bool CursorOn(int serial) const;
    QList<double> MotorPositions(int serial) const;
    bool EpicPresent() const;
    void SetEpicPresent(bool present);
    QList<glimrow::VirtualPigeonholeInfo> Pigeonholes() const;

private:
    VirtualHardware& m_hardware;
};

} // namespace glimrow

Q_DECLARE_METATYPE(glimrow::VirtualBoardInfo)
Q_DECLARE_METATYPE(glimrow::VirtualPigeonholeInfo)
