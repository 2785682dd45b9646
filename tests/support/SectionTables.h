#pragma once

// Section tables written out in a test.

#include "common/SectionTable.h"

#include <initializer_list>

namespace glimrow::test {

inline SectionTable tableOf(std::initializer_list<SectionTable::Row> rows)
{
    SectionTable table;
    for (const SectionTable::Row& row : rows)
        table.appendRow(row);
    return table;
}

} // namespace glimrow::test
