#pragma once

// The section tables Glimrow.cfg fills, one per device section the program knows.

#include "common/SectionTable.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

namespace glimrow {

// The ten module tables. A section present in the file gives a table (perhaps empty); an
// absent one leaves its table unset.
struct ConfigTables {
    std::optional<SectionTable> maPLED64_1;
    std::optional<SectionTable> maPLED64_2;
    std::optional<SectionTable> maP01616_1;
    std::optional<SectionTable> maP01616_2;
    std::optional<SectionTable> maPTLED_1;
    std::optional<SectionTable> maPTLED_2;
    std::optional<SectionTable> maPTLCD_1;
    std::optional<SectionTable> maPTLCD_2;
    std::optional<SectionTable> maSKITS;
    std::optional<SectionTable> maEPICAnalogs;

    // The table a device section fills, by its exact name; nullptr for any other name.
    std::optional<SectionTable>* tableForSection(QStringView sectionName);
    static QStringList deviceSectionNames();
    // The first section the text, gauge and EPIC grids cannot do without that the file left
    // out; empty when none is.
    QString missingRequiredSection() const;
};

} // namespace glimrow
