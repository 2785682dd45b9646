#pragma once

// The cockpit without a screen (--headless, and tests of the core): grids and labels are kept
// in memory, the Communication frame's fields are plain values, messages go to standard error.

#include "cockpit/CockpitView.h"
#include "common/MemoryGrid.h"

#include <QStringList>
#include <QTimer>

#include <array>

namespace glimrow {

class HeadlessView : public CockpitView {
public:
    HeadlessView();

    OutputGrid& grid(CockpitGrid which) override { return memoryGrid(which); }
    MemoryGrid& memoryGrid(CockpitGrid which) { return m_grids.at(std::size_t(which)); }
    OutputLabel& label(CockpitLabel which) override { return memoryLabel(which); }
    MemoryLabel& memoryLabel(CockpitLabel which) { return m_labels.at(std::size_t(which)); }

    // MessageReporter: printed, and kept for whoever asks.
    void showMessage(const QString& title, const QString& text) override;
    bool showsWindow() const override { return false; }
    QStringList messages;

    // ConnectionView.
    QString serverAddress() const override { return m_address; }
    QString serverPort() const override { return m_port; }
    void setServerFieldsEnabled(bool) override {}
    void setTcpCaptionBold(bool) override {}
    void showConnectType(int index) override { m_connectType = index; }
    bool isDcomSelected() const override { return m_connectType == 1; }
    void showServerState(const QString& text) override;
    QString serverState() const { return m_serverState; }
    void showConnectionStatus(const QString& text) override;
    void showServerProblem(const QString& text) override;
    QString connectionStatus() const { return m_connectionStatus; }

    void setServerAddress(const QString& address) override { m_address = address; }
    void setServerPort(const QString& port) override { m_port = port; }
    void showNoScreenUpdate(bool) override {}
    void showUpdateEpicAnyway(bool) override {}
    void showUpdateOnArrival(bool) override {}
    void showGSuitFormula(int motor, const QString& formula, const QString& problem) override;
    // Already on standard error: the cockpit writes them there.
    void showConfigProblems(const ConfigProblems&) override {}
    void showNotice(const QString& text) override;
    void showDashboardAddress(const QString& address) override;
    void showActivity(const QString& text) override;
    QString activity() const { return m_activity; }
    void enableBoardControls(BoardKind) override {}
    void beep() override {}

private:
    std::array<MemoryGrid, 11> m_grids;
    std::array<MemoryLabel, 5> m_labels;
    QString m_address;
    QString m_port;
    int m_connectType = -1;
    QString m_serverState;
    QString m_connectionStatus;
    QString m_activity;
    // What the outputs do is said at most once a second: a page or a key held down can change
    // it a thousand times a second. Changes within the second are said at its end, counted.
    QTimer m_activityHeld;
    int m_activityChanges = 0;
};

} // namespace glimrow
