#include "cockpit/ConfigTables.h"

namespace glimrow {

namespace {

const struct {
    const char* name;
    std::optional<SectionTable> ConfigTables::*table;
} kSections[] = {
    {"PLED64-1", &ConfigTables::maPLED64_1}, {"PLED64-2", &ConfigTables::maPLED64_2},
    {"P01616-1", &ConfigTables::maP01616_1}, {"P01616-2", &ConfigTables::maP01616_2},
    {"PTLED-1", &ConfigTables::maPTLED_1},   {"PTLED-2", &ConfigTables::maPTLED_2},
    {"PTLCD-1", &ConfigTables::maPTLCD_1},   {"PTLCD-2", &ConfigTables::maPTLCD_2},
    {"SKITS", &ConfigTables::maSKITS},       {"EPICAnalogs", &ConfigTables::maEPICAnalogs},
};

} // namespace

QStringList ConfigTables::deviceSectionNames()
{
    QStringList names;
    for (const auto& section : kSections)
        names << QString::fromLatin1(section.name);
    return names;
}

std::optional<SectionTable>* ConfigTables::tableForSection(QStringView sectionName)
{
    for (const auto& section : kSections) {
        if (sectionName == QLatin1StringView(section.name))
            return &(this->*section.table);
    }
    return nullptr;
}

QString ConfigTables::missingRequiredSection() const
{
    const std::pair<const std::optional<SectionTable>*, const char*> required[] = {
        {&maPTLED_1, "PTLED-1"}, {&maPTLED_2, "PTLED-2"}, {&maPTLCD_1, "PTLCD-1"},
        {&maPTLCD_2, "PTLCD-2"}, {&maSKITS, "SKITS"},     {&maEPICAnalogs, "EPICAnalogs"},
    };
    for (const auto& [table, name] : required) {
        if (!*table)
            return QString::fromLatin1(name);
    }
    return {};
}

} // namespace glimrow
