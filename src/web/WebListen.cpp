#include "web/WebListen.h"

namespace glimrow {

QString WebListen::text() const
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(address.toString())
                             : address.toString();
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

std::optional<WebListen> WebListen::parse(const QString& text, QString* problem)
{
    const QString trimmed = text.trimmed();
    WebListen listen;
    QString portText = trimmed;
    const qsizetype colon = trimmed.lastIndexOf(u':');
    if (colon >= 0) {
        QString host = trimmed.first(colon);
        if (host.startsWith(u'[') && host.endsWith(u']'))
            host = host.sliced(1, host.size() - 2);
        if (!listen.address.setAddress(host)) {
            *problem = QStringLiteral("\"%1\" is not an IP address; expected [ADDRESS:]PORT, "
                                      "such as 8080 or 0.0.0.0:8080")
                           .arg(host);
            return std::nullopt;
        }
        portText = trimmed.sliced(colon + 1);
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535) {
        *problem =
            QStringLiteral(
                "\"%1\" is not a port from 0 (any free one) to 65535; expected [ADDRESS:]PORT, "
                "such as 8080 or 0.0.0.0:8080")
                .arg(portText);
        return std::nullopt;
    }
    listen.port = quint16(port);
    return listen;
}

} // namespace glimrow
