#include "cockpit/FlightDataPanel.h"

#include "common/PrintableText.h"
#include "phidget/LampOutputs.h"

#include <QDBusMetaType>

#include <array>

namespace glimrow {
namespace {

constexpr qint64 kRateWindowMs = 2000;

struct LampSection {
    const char* name;
    std::optional<SectionTable> ConfigTables::*table;
    const char* output; // what the line's number names
};
constexpr std::array<LampSection, 4> kLampSections{{
    {"PLED64-1", &ConfigTables::maPLED64_1, "LED"},
    {"PLED64-2", &ConfigTables::maPLED64_2, "LED"},
    {"P01616-1", &ConfigTables::maP01616_1, "output"},
    {"P01616-2", &ConfigTables::maP01616_2, "output"},
}};

QString valueText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return QLatin1Char('"') + printableText(value.toString()) + QLatin1Char('"');
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return QString::number(value.toDouble(), 'g', 10);
    return printableText(value.toString());
}

QList<FlightDataValue> streamValues(const FlightDataCache& cache)
{
    return {
        {QStringLiteral("SpeedBrake"), QStringLiteral("stream field 28"),
         QString::number(double(cache.SpeedBrake), 'g', 7)},
        {QStringLiteral("LightBits"), QStringLiteral("stream field 32"),
         QString::number(cache.LightBits)},
        {QStringLiteral("LightBits2"), QStringLiteral("stream field 36"),
         QString::number(cache.LightBits2)},
        {QStringLiteral("LightBits3"), QStringLiteral("stream field 37"),
         QString::number(cache.LightBits3)},
        {QStringLiteral("VantorAy"), QStringLiteral("stream field 81"),
         cache.VantorAy ? QStringLiteral("true") : QStringLiteral("false")},
    };
}

QList<FlightDataValue> objectValues(const QVariantMap& snapshot)
{
    QList<FlightDataValue> values;
    for (auto field = snapshot.cbegin(); field != snapshot.cend(); ++field) {
        const char* signature = QDBusMetaType::typeToSignature(field.value().metaType());
        values.append({field.key(), QLatin1StringView(signature ? signature : "?"),
                       valueText(field.value())});
    }
    return values;
}

// The lamp lines of every lamp section, by word (1 to 3) and bit.
std::array<std::array<QStringList, 32>, 3> lampsByBit(const ConfigTables& tables)
{
    std::array<std::array<QStringList, 32>, 3> lamps;
    for (const LampSection& section : kLampSections) {
        const std::optional<SectionTable>& table = tables.*section.table;
        if (!table)
            continue;
        for (qsizetype row = 0; row < table->rowCount(); ++row) {
            const std::optional<LampLine> line = LampLine::read(*table, row);
            if (!line)
                continue;
            for (int bit = 0; bit < 32; ++bit) {
                if (std::uint32_t(line->mask) & (1u << bit)) {
                    lamps[std::size_t(line->word - 1)][std::size_t(bit)].append(
                        QStringLiteral("%1 line %2: %3 (%4 %5)")
                            .arg(QLatin1StringView(section.name))
                            .arg(table->fileLine(row))
                            .arg(printableText(table->field(1, row)),
                                 QLatin1StringView(section.output))
                            .arg(line->output));
                }
            }
        }
    }
    return lamps;
}

} // namespace

FlightDataPanel::FlightDataPanel()
{
    m_clock.start();
}

void FlightDataPanel::takeFrame(const QByteArray& frame)
{
    m_lastFrame = frame;
    noteArrival();
}

void FlightDataPanel::takeSnapshot(const QVariantMap& snapshot)
{
    m_lastSnapshot = snapshot;
    noteArrival();
}

void FlightDataPanel::noteArrival()
{
    m_arrivals.push_back(m_clock.elapsed());
    forgetOldArrivals(); // the tab may not be looked at for days
}

void FlightDataPanel::forgetOldArrivals()
{
    const qint64 now = m_clock.elapsed();
    while (!m_arrivals.empty() && m_arrivals.front() < now - kRateWindowMs)
        m_arrivals.pop_front();
}

FlightDataShown FlightDataPanel::describe(const FlightDataCache& cache, const ConfigTables& tables,
                                          bool fromObject)
{
    forgetOldArrivals();

    FlightDataShown shown;
    shown.values = fromObject ? objectValues(m_lastSnapshot) : streamValues(cache);
    if (!fromObject)
        shown.lastFrame = printableBytes(m_lastFrame);
    shown.arrivalsPerSecond = double(m_arrivals.size()) * 1000.0 / double(kRateWindowMs);

    const std::array<std::int32_t, 3> words{cache.LightBits, cache.LightBits2, cache.LightBits3};
    const auto lamps = lampsByBit(tables);
    for (std::size_t word = 0; word < 3; ++word) {
        for (int bit = 0; bit < 32; ++bit) {
            const std::uint32_t mask = 1u << bit;
            shown.bits.append({word == 0 ? QStringLiteral("LightBits")
                                         : QStringLiteral("LightBits%1").arg(word + 1),
                               bit, std::int32_t(mask), (std::uint32_t(words[word]) & mask) != 0,
                               lamps[word][std::size_t(bit)]});
        }
    }
    return shown;
}

} // namespace glimrow
