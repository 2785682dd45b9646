#pragma once

// The set-ups that give each grid its columns, headers and the configured lines. The Value
// columns are left empty: only the output procedures write them.

#include "common/OutputGrid.h"
#include "common/SectionTable.h"

#include <functional>

namespace glimrow {

// Lets pending window events run; set-ups pause where the window must stay responsive.
using PauseForEvents = std::function<void()>;

// Lamp grids 0, 1, 2, 5 (and the first step of the text and gauge grids): "Port",
// "Description", a centred lamp column; one row per configured line. Without a table the grid
// keeps its design rows with headers only. A step that fails is skipped.
void SetupLampGrid(OutputGrid& grid, const SectionTable* table, const PauseForEvents& pause);
// TextLED grids 3 and 11, after SetupLampGrid: "Variable" and a right-aligned "Value".
void SetupTextLedGrid(OutputGrid& grid, const SectionTable& table);
// TextLCD grids 6 and 12, after SetupLampGrid: "Ln", "Label", "Var", "Value".
void SetupTextLcdGrid(OutputGrid& grid, const SectionTable& table);
// Gauge grid 7, after SetupLampGrid: "Port", "Description", "Variable", "Value".
void SetupGaugeGrid(OutputGrid& grid, const SectionTable& table);
// EPIC grid 10: "PH#" centred, "Description", "Var.", "Value".
void SetupEpicGrid(OutputGrid& grid, const SectionTable& table, const PauseForEvents& pause);
// The device list, grid 4: "#", "Phidget", "Version", "Serial#", "Section" (what the board
// drives); rows are added as boards are seen.
void InitDeviceGrid(OutputGrid& grid);
// MFD grids 8 and 9: buttons 1 to 20 and their labels.
void SetupMfdGrid(OutputGrid& grid, const PauseForEvents& pause);

} // namespace glimrow
