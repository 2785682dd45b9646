#pragma once

// The window started in a scratch folder on the example configuration, with the virtual boards,
// its flight-data object in memory holding vantor-sim's record (DCOM), or the stream on a port.

#include "support/MemoryFlightData.h"

#include "FlightScript.h"
#include "app/frmGlimrow.h"
#include "phidget/virtual/VirtualHardware.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace glimrow::bench {

class Quiet : public MessageReporter {
public:
    void showMessage(const QString&, const QString&) override {}
};

struct StartedWindow {
    explicit StartedWindow(const QByteArray& connection, quint16 port = 2727)
    {
        QFile example(GLIMROW_EXAMPLES_DIR "/Glimrow.cfg");
        example.open(QIODevice::ReadOnly);
        QByteArray config = example.readAll();
        config.replace("[COMPREF]\r\nDCOM", "[COMPREF]\r\n" + connection);
        config.replace("[TCPIP-PORT]\r\n2727", "[TCPIP-PORT]\r\n" + QByteArray::number(port));
        QFile file(dir.filePath("Glimrow.cfg"));
        file.open(QIODevice::WriteOnly);
        file.write(config);
        file.close();

        const QVariantMap record = sim::FlightScript::recordAt(42.0);
        for (const FlightDataFieldInfo& field : flightDataFields())
            data->set(field.field, record.value(QLatin1StringView(field.name)));
        hardware.addDefaultBoards();
        CockpitSettings settings;
        settings.configFilePath = file.fileName();
        settings.instanceLockPath = dir.filePath("lock");
        settings.flightDataFactory = [this] {
            return std::unique_ptr<FlightDataObject>(std::exchange(data, nullptr));
        };
        settings.openPhidgets = [this](PhidgetManager& manager) { hardware.open(manager); };
        window = std::make_unique<frmGlimrow>(quiet, settings);
        window->Form_Load();
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    Quiet quiet;
    test::MemoryFlightData* data = new test::MemoryFlightData; // handed to the window
    VirtualHardware hardware;
    std::unique_ptr<frmGlimrow> window;
};

} // namespace glimrow::bench
