#include "app/SectionTable.h"

#include <stdexcept>

namespace glimrow {
namespace {

void checkField(int field)
{
    if (field < 0 || field > 3)
        throw std::out_of_range("section table field index out of range");
}

} // namespace

const QString& SectionTable::field(int field, qsizetype row) const
{
    checkField(field);
    return this->row(row)[std::size_t(field)];
}

void SectionTable::setField(int field, qsizetype row, const QString& text)
{
    checkField(field);
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("section table row out of range");
    m_rows[std::size_t(row)][std::size_t(field)] = text;
}

const SectionTable::Row& SectionTable::row(qsizetype row) const
{
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("section table row out of range");
    return m_rows[std::size_t(row)];
}

std::optional<SectionTable>* ConfigTables::tableForSection(QStringView sectionName)
{
    const struct {
        const char* name;
        std::optional<SectionTable> ConfigTables::*table;
    } sections[] = {
        {"PLED64-1", &ConfigTables::maPLED64_1},   {"PLED64-2", &ConfigTables::maPLED64_2},
        {"P01616-1", &ConfigTables::maP01616_1},   {"P01616-2", &ConfigTables::maP01616_2},
        {"PTLED-1", &ConfigTables::maPTLED_1},     {"PTLED-2", &ConfigTables::maPTLED_2},
        {"PTLCD-1", &ConfigTables::maPTLCD_1},     {"PTLCD-2", &ConfigTables::maPTLCD_2},
        {"SKITS", &ConfigTables::maSKITS},         {"EPICAnalogs", &ConfigTables::maEPICAnalogs},
    };
    for (const auto& section : sections) {
        if (sectionName == QLatin1StringView(section.name))
            return &(this->*section.table);
    }
    return nullptr;
}

} // namespace glimrow
