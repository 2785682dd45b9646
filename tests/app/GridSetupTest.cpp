#include "app/GridSetup.h"
#include "support/MemoryGrid.h"
#include "support/SectionTables.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace glimrow;
using glimrow::test::MemoryGrid;

using glimrow::test::tableOf;

TEST(GridSetup, TextAndGaugeGridsShowTheVariableAfterTheLampColumns)
{
    const SectionTable table =
        tableOf({{"0", "Fuel flow", "FUELFLOW", "  1234"}, {"1", "Totalizer", "TOTALIZER", ""}});
    MemoryGrid grid(2, 4);
    int pauses = 0;
    SetupLampGrid(grid, &table, [&] { ++pauses; });
    SetupTextLedGrid(grid, table);
    EXPECT_EQ(pauses, 1);
    EXPECT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(grid.widths, (std::map<int, int>{{0, 400}, {1, 1800}, {2, 1400}, {3, 1200}}));
    EXPECT_EQ(grid.alignments[2], ColumnAlignment::Centre);
    EXPECT_EQ(grid.alignments[3], ColumnAlignment::Right);
    const QStringList headers{"Port", "Description", "Variable", "Value"};
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(grid.text(0, column), headers[column]);
    EXPECT_EQ(grid.text(2, 0), "1");
    EXPECT_EQ(grid.text(2, 1), "Totalizer");
    EXPECT_EQ(grid.text(2, 2), "TOTALIZER");
    EXPECT_EQ(grid.text(1, 3), ""); // only the outputs write the value column

    MemoryGrid gauges(2, 4);
    SetupLampGrid(gauges, &table, [] {});
    SetupGaugeGrid(gauges, table);
    EXPECT_EQ(gauges.widths, (std::map<int, int>{{0, 500}, {1, 3000}, {2, 1500}, {3, 1500}}));
    EXPECT_EQ(gauges.text(0, 2), "Variable");
}

TEST(GridSetup, LampGridWithoutItsSectionKeepsItsDesignSizeAndHeaders)
{
    MemoryGrid grid(65, 3);
    SetupLampGrid(grid, nullptr, [] {});
    EXPECT_EQ(grid.rowCount(), 65);
    EXPECT_EQ(grid.text(0, 1), "Description");
    EXPECT_EQ(grid.text(1, 0), "");

    // A grid too narrow for a step skips that step and still runs the next.
    const SectionTable table = tableOf({{"5", "Fire", "32", "1"}});
    MemoryGrid narrow(2, 2);
    SetupLampGrid(narrow, &table, [] {});
    EXPECT_EQ(narrow.text(1, 0), "5");
    EXPECT_EQ(narrow.text(1, 1), "Fire");
}
