#include "support/CockpitFixture.h"

#include <QCoreApplication>
#include <QFile>

namespace glimrow::test {

CockpitFixture::CockpitFixture()
{
    m_hardware.addDefaultBoards();
    m_hardware.setEpicPresent(true);
    for (const FlightDataFieldInfo& field : flightDataFields())
        m_values[field.field] = field.type == FlightDataType::Text ? QVariant(QString()) : 0;
    m_values[FlightDataField::VantorAy] = true;
}

CockpitFixture::~CockpitFixture()
{
    if (m_cockpit)
        m_cockpit->ShutdownProgram(); // the EPIC card closed for the next test
    m_hardware.setEpicPresent(false);
}

QByteArray CockpitFixture::withRequiredSections(QByteArray sections)
{
    for (const char* required :
         {"[PTLED-1]", "[PTLED-2]", "[PTLCD-1]", "[PTLCD-2]", "[SKITS]", "[EPICAnalogs]"}) {
        if (!sections.contains(required))
            sections += QByteArray(required) + "\r\n";
    }
    return sections;
}

void CockpitFixture::writeConfig(const QByteArray& text)
{
    QFile file(m_dir.filePath("Glimrow.cfg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

CockpitSettings CockpitFixture::settings(FlightDataFactory flightData)
{
    CockpitSettings settings;
    settings.configFilePath = m_dir.filePath("Glimrow.cfg");
    settings.instanceLockPath = m_dir.filePath("glimrow.lock");
    settings.openPhidgets = [this](PhidgetManager& manager) { m_hardware.open(manager); };
    settings.flightDataFactory = flightData ? flightData : [this] {
        auto object = std::make_unique<MemoryFlightData>();
        object->values = m_values;
        m_data = object.get();
        ++m_objectsMade;
        return object;
    };
    return settings;
}

Cockpit& CockpitFixture::start(const QByteArray& config, FlightDataFactory flightData)
{
    writeConfig(config);
    m_cockpit = std::make_unique<Cockpit>(m_state, settings(std::move(flightData)));
    EXPECT_TRUE(m_cockpit->Start()) << m_view.messages.join('\n').toStdString();
    QCoreApplication::processEvents(); // the boards attach
    return *m_cockpit;
}

QByteArray CockpitFixture::tcpKeys()
{
    EXPECT_TRUE(m_stream.isListening() || m_stream.listen(QHostAddress::LocalHost));
    return "[TCPIP-IP]\r\n127.0.0.1\r\n[TCPIP-PORT]\r\n" +
           QByteArray::number(m_stream.serverPort()) + "\r\n[COMPREF]\r\nTCP\r\n";
}

void CockpitFixture::set(FlightDataField field, const QVariant& value)
{
    m_values[field] = value;
    if (m_data)
        m_data->values[field] = value;
}

int CockpitFixture::deviceRow(int serial)
{
    const MemoryGrid& list = grid(CockpitGrid::Devices);
    for (int row = 1; row < list.rowCount(); ++row) {
        if (list.text(row, 3) == QString::number(serial))
            return row;
    }
    return -1;
}

void CockpitFixture::tick()
{
    m_cockpit->cache().VantorAy = true;
    m_cockpit->tmrGlimrow_Timer();
}

} // namespace glimrow::test
