#pragma once

// Where the dashboard listens: "[ADDRESS:]PORT" as --web and Glimrow.cfg's [WEB] write it.
// Without an address it is 127.0.0.1, this computer only; 0.0.0.0 or a LAN address opens it to
// the network, and then every request needs the access token.

#include <QHostAddress>
#include <QString>

#include <optional>

namespace glimrow {

struct WebListen {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 0;

    // Nothing but this computer can reach it.
    bool isLoopback() const { return address.isLoopback(); }
    // "127.0.0.1:8080", "[::1]:8080".
    QString text() const;

    // "8080", "0.0.0.0:8080", "192.168.1.20:8080", "[::]:8080". Otherwise nothing, and why.
    static std::optional<WebListen> parse(const QString& text, QString* problem);
};

} // namespace glimrow
