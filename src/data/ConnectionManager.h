#pragma once

// Chooses and runs the connection to the data server: the TCP/IP stream (a client socket
// whose blocks the stream decoder turns into the window cache) or the data server's
// flight-data object. Its watchdog decides whether the data server is active and says so in
// the status bar.

#include "data/FlightDataObject.h"
#include "data/FlightDataRecord.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

namespace glimrow {

// What the connection shows on and reads from the window.
class ConnectionView {
public:
    virtual ~ConnectionView() = default;
    virtual QString serverAddress() const = 0;
    virtual QString serverPort() const = 0;
    virtual void setServerFieldsEnabled(bool enabled) = 0;
    virtual void setTcpCaptionBold(bool bold) = 0;
    // Marks option button 0 ("TCP/IP") or 1 ("DCOM") as selected; the selection is the mode.
    virtual void showConnectType(int index) = 0;
    virtual bool isDcomSelected() const = 0;
    // Status bar panel 2: "Vantor-A" or "Vantor Inactive".
    virtual void showServerState(const QString& text) = 0;

protected:
    ConnectionView() = default;
};

// Makes the data server's flight-data object; may throw FlightDataError.
using FlightDataFactory = std::function<std::unique_ptr<FlightDataObject>()>;

// Where the update cycle finds the mode and the flight-data object.
class FlightDataSource {
public:
    virtual ~FlightDataSource() = default;
    virtual bool isDcomSelected() const = 0;
    // The flight-data object, or nullptr (TCP/IP mode, or its creation failed). Fetch it anew
    // after letting window events run: a change of mode releases it.
    virtual FlightDataObject* flightDataObject() const = 0;

protected:
    FlightDataSource() = default;
};

class ConnectionManager : public QObject, public FlightDataSource {
    Q_OBJECT

public:
    static constexpr int kInactivePeriodMs = 1000;
    static constexpr int kActivePeriodMs = 20000;
    static constexpr int kConnectRequests = 50;
    // A peer may send more; what a single read takes is capped, the rest dropped.
    static constexpr qint64 kMaxReadBytes = 64 * 1024;

    ConnectionManager(ConnectionView& view, FlightDataCache& cache, FlightDataFactory factory,
                      QObject* parent = nullptr);
    ~ConnectionManager() override;

    // The click of option button `index`: 0 TCP/IP, 1 DCOM.
    void ChooseConnectType(int index);
    void CloseSockets();
    // Closes and releases the flight-data object; failures are ignored.
    void ReleaseFlightData();
    // The watchdog timer's tick.
    void tmrVantorA_Timer();

    bool isDcomSelected() const override { return m_view.isDcomSelected(); }
    FlightDataObject* flightDataObject() const override { return m_flightData.get(); }
    // The socket's state: 0 closed, 1 open, 2 listening, 4 resolving host, 6 connecting,
    // 7 connected, 8 closing, 9 error (until the next connect request).
    int socketState() const;
    const QTimer& tmrVantorA() const { return m_tmrVantorA; }

signals:
    // A block from the stream has been decoded into the cache.
    void blockDecoded();

private:
    void requestConnection();
    void onReadyRead();
    // `timerDriven`: a failed read of VantorAy clears it (the server is gone); inside the
    // choice procedure the tick just ends and everything keeps its value.
    void watchdogTick(bool timerDriven);

    ConnectionView& m_view;
    FlightDataCache& m_cache;
    FlightDataFactory m_factory;
    std::unique_ptr<FlightDataObject> m_flightData;
    QTcpSocket fnALumexSock; // the data socket
    QTimer m_tmrVantorA;
    bool m_errorSinceRequest = false;
    bool m_blockSinceTick = false;
};

} // namespace glimrow
