#pragma once

// Virtual boards attached through a device manager, in-memory options and grids, and an
// in-memory data server object: what the output procedures need, without widgets or hardware.

#include "common/MemoryGrid.h"
#include "support/MemoryFlightData.h"
#include "support/SectionTables.h"

#include "phidget/OutputOptions.h"
#include "phidget/PhidgetDeviceManager.h"
#include "phidget/PhidgetManager.h"
#include "phidget/virtual/VirtualHardware.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <set>

namespace glimrow::test {

class MemoryWindow : public OutputOptions, public DeviceManagerView {
public:
    bool screen = true;
    int brightness = 75;
    int pauses = 0;
    std::set<BoardKind> enabled;
    int beeps = 0;

    bool screenUpdate() const override { return screen; }
    int lampBrightness() const override { return brightness; }
    void letEventsRun() override { ++pauses; }
    void enableBoardControls(BoardKind kind) override { enabled.insert(kind); }
    void beep() override { ++beeps; }
};

class Outputs : public ::testing::Test {
protected:
    Outputs()
    {
        QObject::connect(
            &m_manager, &PhidgetManager::OnAttach,
            [this](const PhidgetBoardPtr& board) { m_devices.PhidgetManager_OnAttach(board); });
        QObject::connect(
            &m_manager, &PhidgetManager::OnDetach,
            [this](const PhidgetBoardPtr& board) { m_devices.PhidgetManager_OnDetach(board); });
        QObject::connect(
            &m_manager, &PhidgetManager::OnError,
            [this](const PhidgetBoardPtr& board) { m_devices.PhidgetManager_OnError(board); });
    }

    void attachDefaultBoards()
    {
        m_hardware.addDefaultBoards();
        m_hardware.open(m_manager);
        QCoreApplication::processEvents();
    }
    const VirtualDevice& board(int serial) const { return *m_hardware.device(serial); }

    MemoryWindow m_window;
    MemoryFlightData m_data;
    FlightDataCache m_cache;
    VirtualHardware m_hardware;
    PhidgetManager m_manager;
    MemoryGrid m_deviceList{1, 4};
    MemoryGrid m_grid{40, 4};
    PhidgetDeviceManager m_devices{m_deviceList, m_window};
};

} // namespace glimrow::test
