#include "data/Recording.h"

#include <QDBusMetaType>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace glimrow::recording {
namespace {

QByteArray lineOf(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

void appendJsonString(QByteArray& line, QStringView text)
{
    line += '"';
    for (qsizetype at = 0; at < text.size();) {
        const char16_t code = text[at].unicode();
        if (code >= 0x80) {
            // A run of non-ASCII characters as UTF-8, pairs of surrogates kept together.
            qsizetype end = at;
            while (end < text.size() && text[end].unicode() >= 0x80)
                ++end;
            line += text.sliced(at, end - at).toUtf8();
            at = end;
            continue;
        }
        if (code == u'"' || code == u'\\') {
            line += '\\';
            line += char(code);
        } else if (code < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(code));
            line += escaped;
        } else {
            line += char(code);
        }
        ++at;
    }
    line += '"';
}

void appendJsonValue(QByteArray& line, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        line += value.toBool() ? "true" : "false";
        return;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (!std::isfinite(number)) {
            line += "null";
            return;
        }
        char digits[32];
        const auto written = std::to_chars(digits, digits + sizeof digits, number);
        line.append(digits, written.ptr - digits);
        return;
    }
    case QMetaType::QString:
        appendJsonString(line, value.toString());
        return;
    default:
        if (value.canConvert<qlonglong>() && value.typeId() != QMetaType::QByteArray) {
            line += value.typeId() == QMetaType::ULongLong ? QByteArray::number(value.toULongLong())
                                                           : QByteArray::number(value.toLongLong());
            return;
        }
        appendJsonString(line, value.toString());
    }
}

// The value as the D-Bus type `signature` gives it; nothing when it cannot be one.
std::optional<QVariant> valueOfType(const QJsonValue& json, const QString& signature)
{
    const bool isNumber = json.isDouble();
    const double number = json.toDouble();
    const auto whole = [&](double low, double high) -> bool {
        return isNumber && number == std::trunc(number) && number >= low && number <= high;
    };
    if (signature == u"d")
        return json.isNull() ? QVariant(std::numeric_limits<double>::quiet_NaN())
                             : (isNumber ? std::optional<QVariant>(number) : std::nullopt);
    if (signature == u"s")
        return json.isString() ? std::optional<QVariant>(json.toString()) : std::nullopt;
    if (signature == u"b")
        return json.isBool() ? std::optional<QVariant>(json.toBool()) : std::nullopt;
    if (signature == u"i" && whole(-2147483648.0, 2147483647.0))
        return QVariant(int(number));
    if (signature == u"u" && whole(0, 4294967295.0))
        return QVariant(uint(number));
    if (signature == u"x" && whole(-9.2e18, 9.2e18))
        return QVariant(qlonglong(number));
    if (signature == u"t" && whole(0, 1.8e19))
        return QVariant(qulonglong(number));
    if (signature == u"n" && whole(-32768, 32767))
        return QVariant::fromValue(short(number));
    if (signature == u"q" && whole(0, 65535))
        return QVariant::fromValue(ushort(number));
    if (signature == u"y" && whole(0, 255))
        return QVariant::fromValue(uchar(number));
    return std::nullopt;
}

} // namespace

QByteArray headerLine(const QString& program, const QString& connection)
{
    return lineOf({{"format", QLatin1StringView(kFormat)},
                   {"version", kVersion},
                   {"program", program},
                   {"connection", connection}});
}

QByteArray streamLine(qint64 ms, const QByteArray& bytes)
{
    QByteArray line = "{\"t\":" + QByteArray::number(ms) + ",\"stream\":";
    appendJsonString(line, QString::fromLatin1(bytes));
    return line + "}\n";
}

// Written by hand rather than through QJsonDocument: a line per update cycle, on a machine of
// two cores, costs the window its time otherwise.
QByteArray objectLine(qint64 ms, const QVariantMap& snapshot)
{
    QByteArray values;
    QByteArray types;
    for (auto field = snapshot.cbegin(); field != snapshot.cend(); ++field) {
        const char separator = values.isEmpty() ? '{' : ',';
        values += separator;
        appendJsonString(values, field.key());
        values += ':';
        appendJsonValue(values, field.value());
        types += separator;
        appendJsonString(types, field.key());
        const char* signature = QDBusMetaType::typeToSignature(field.value().metaType());
        types += ":\"" + QByteArray(signature ? signature : "?") + '"';
    }
    if (snapshot.isEmpty())
        values = types = "{";
    return "{\"t\":" + QByteArray::number(ms) + ",\"object\":" + values + "},\"types\":" + types +
           "}}\n";
}

QString headerProblem(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (!document.isObject() ||
        document.object().value("format").toString() != QLatin1StringView(kFormat))
        return QStringLiteral("not a Glimrow recording (its first line does not say "
                              "\"format\":\"%1\")")
            .arg(QLatin1StringView(kFormat));
    const QJsonValue version = document.object().value("version");
    if (version.toInt(-1) != kVersion)
        return QStringLiteral("a recording of version %1; this program reads version %2")
            .arg(version.isDouble() ? QString::number(version.toDouble()) : QStringLiteral("?"))
            .arg(kVersion);
    return {};
}

std::optional<Entry> parseLine(const QByteArray& line, QString* problem)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (!document.isObject()) {
        *problem = error.error != QJsonParseError::NoError
                       ? QStringLiteral("not JSON: %1 at character %2")
                             .arg(error.errorString())
                             .arg(error.offset + 1)
                       : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    const QJsonValue time = object.value("t");
    if (!time.isDouble() || time.toDouble() < 0 || time.toDouble() > 9e15) {
        *problem = QStringLiteral("no time \"t\" in milliseconds");
        return std::nullopt;
    }
    Entry entry;
    entry.ms = qint64(time.toDouble());
    if (object.contains("stream")) {
        const QString text = object.value("stream").toString();
        for (QChar character : text) {
            if (character.unicode() > 0xFF) {
                *problem = QStringLiteral("\"stream\" holds a character above U+00FF");
                return std::nullopt;
            }
        }
        entry.stream = text.toLatin1();
        return entry;
    }
    const QJsonObject values = object.value("object").toObject();
    const QJsonObject types = object.value("types").toObject();
    if (values.isEmpty()) {
        *problem = QStringLiteral("neither \"stream\" nor \"object\"");
        return std::nullopt;
    }
    for (auto field = values.begin(); field != values.end(); ++field) {
        const std::optional<QVariant> value =
            valueOfType(field.value(), types.value(field.key()).toString());
        if (!value) {
            *problem = QStringLiteral("%1 is not of its type \"%2\"")
                           .arg(field.key(), types.value(field.key()).toString());
            return std::nullopt;
        }
        entry.object.insert(field.key(), *value);
    }
    return entry;
}

} // namespace glimrow::recording
