#pragma once

// Chooses and runs the connection to the data server: the TCP/IP stream (a client socket
// whose frames the stream decoder turns into the window cache) or the data server's
// flight-data object. Its watchdog decides whether the data server is active and says so in
// the status bar.
//
// While TCP/IP is chosen the stream is kept up without the user: a connection that cannot be
// made or that ends is tried again, soon at first and then every few seconds. The stream
// counts as an active server only while whole frames with a non-zero active flag keep coming.

#include "data/FlightDataObject.h"
#include "data/FlightDataRecord.h"
#include "data/StreamFramer.h"

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

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
    // What the stream's connection is doing ("Connecting to ...", "Connected", why it
    // failed and when it is tried again); empty when there is nothing to say.
    virtual void showConnectionStatus(const QString& text) = 0;
    // A problem with what the data server sends (a missing or mistyped property).
    virtual void showServerProblem(const QString& text) = 0;

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
    // A refresh failed or got no answer in time (`why`): the data server is not active until
    // it answers again.
    virtual void serverFailed(const QString& why) = 0;
    // Something the data server sends cannot be used; the cycle reports each problem once.
    virtual void reportServerProblem(const QString& text) = 0;

protected:
    FlightDataSource() = default;
};

class ConnectionManager : public QObject, public FlightDataSource {
    Q_OBJECT

public:
    static constexpr int kInactivePeriodMs = 1000;
    static constexpr int kActivePeriodMs = 20000;
    static constexpr int kConnectRequests = 50;
    // The stream is an active server while an active frame came within this time.
    static constexpr int kStreamSilenceMs = 2000;
    // Retries of the stream's connection: the first soon, then backing off to the longest.
    static constexpr int kFirstRetryMs = 500;
    static constexpr int kLongestRetryMs = 5000;
    // A connection not made by then (a server host that drops the request) is given up.
    static constexpr int kConnectTimeoutMs = 3000;

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
    // A polling tick while the server is inactive: a server that stopped answering is asked
    // again at the polling rate (one question at a time), not only at the watchdog's.
    void pollSilentServer();

    bool isDcomSelected() const override { return m_view.isDcomSelected(); }
    FlightDataObject* flightDataObject() const override { return m_flightData.get(); }
    void serverFailed(const QString& why) override;
    void reportServerProblem(const QString& text) override { m_view.showServerProblem(text); }
    // The socket's state: 0 closed, 1 open, 2 listening, 4 resolving host, 6 connecting,
    // 7 connected, 8 closing, 9 error (until the next connect request).
    int socketState() const;
    const QTimer& tmrVantorA() const { return m_tmrVantorA; }

signals:
    // A whole frame from the stream (`frame`) has been decoded into the cache.
    void frameDecoded(const QByteArray& frame);
    // The data server sent values that differ from the last ones: a frame that changed the
    // cache, or the flight-data object saying its properties changed.
    void valuesChanged();
    // What the data server sent, as it arrived: each read of the stream (before framing), and
    // each snapshot of the flight-data object's properties.
    void streamRead(const QByteArray& bytes);
    void objectFilled(const QVariantMap& snapshot);

private:
    enum class Attempt { First, Retry };
    // Asks for the stream's connection; false when the address or port cannot be valid.
    bool requestConnection(Attempt attempt);
    void onReadyRead();
    void onConnected();
    void onConnectionLost();
    void scheduleRetry(const QString& why);
    // An active frame came: the connection works, whatever failed before.
    void streamDelivered();
    void endStreamActivity();
    // A refresh asked for while the server was inactive for failing one has succeeded.
    void fillSucceeded();
    // A new connection for a stream whose frames can no longer be told apart.
    void restartLostStream();
    void showServerState();
    // `timerDriven`: a failed read of VantorAy clears it (the server is gone); inside the
    // choice procedure the tick just ends and everything keeps its value.
    void watchdogTick(bool timerDriven);
    void takeActivity(std::optional<bool> active, const QString& why, bool timerDriven);
    // The data server's name on the bus lost or found its owner.
    void serverPresenceChanged(bool present);

    ConnectionView& m_view;
    FlightDataCache& m_cache;
    FlightDataFactory m_factory;
    std::unique_ptr<FlightDataObject> m_flightData;
    QTcpSocket fnALumexSock; // the data socket
    StreamFramer m_framer;
    bool m_restarting = false; // restartLostStream() closes the socket on purpose
    bool m_restartSaid = false;
    QTimer m_tmrVantorA;
    QTimer m_streamSilence; // runs out when active frames stop coming
    QTimer m_retry;
    QTimer m_connectTimeout;
    int m_retryDelayMs = kFirstRetryMs;
    QString m_lastFailure; // of the retries since the stream last delivered
    int m_failureRepeats = 0;
    bool m_streamWanted = false; // TCP/IP chosen with a usable address and port
    bool m_errorSinceRequest = false;
    bool m_serverSilent = false; // the last refresh failed, or the server left the bus
    bool m_serverLeft = false;   // the server's name lost its owner and has not found one
};

} // namespace glimrow
