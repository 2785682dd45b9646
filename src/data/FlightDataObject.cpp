#include "data/FlightDataObject.h"

#include <QMetaType>

namespace glimrow {
namespace {

bool isNumeric(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void throwWrongType(FlightDataField field, const QVariant& value, const char* wanted)
{
    throw FlightDataError(QStringLiteral("Property %1 is %2, expected %3")
                              .arg(QLatin1StringView(fieldInfo(field).name),
                                   QLatin1StringView(value.isValid() ? value.typeName() : "empty"),
                                   QLatin1StringView(wanted))
                              .toStdString());
}

} // namespace

double FlightDataObject::readNumber(FlightDataField field)
{
    const QVariant value = property(field);
    if (!isNumeric(value))
        throwWrongType(field, value, "a number");
    return value.toDouble();
}

QString FlightDataObject::readText(FlightDataField field)
{
    const QVariant value = property(field);
    if (value.typeId() != QMetaType::QString)
        throwWrongType(field, value, "a text");
    return value.toString();
}

QStringList FlightDataObject::unreadableFields()
{
    QStringList problems;
    for (const FlightDataFieldInfo& info : flightDataFields()) {
        try {
            switch (info.type) {
            case FlightDataType::Int32:
            case FlightDataType::Double:
                readNumber(info.field);
                break;
            case FlightDataType::Boolean:
                readBoolean(info.field);
                break;
            case FlightDataType::Text:
                readText(info.field);
                break;
            }
        } catch (const FlightDataError& error) {
            problems << QString::fromStdString(error.what());
        }
    }
    return problems;
}

bool FlightDataObject::requestFill(FillDone done)
{
    try {
        FillFlightData();
    } catch (const FlightDataError& error) {
        done(FillOutcome::Failed, QString::fromStdString(error.what()));
        return true;
    }
    done(FillOutcome::Filled, QString());
    return true;
}

bool FlightDataObject::requestActivity(ActivityDone done)
{
    answerActivity(done, [this] { return readBoolean(FlightDataField::VantorAy); });
    return true;
}

void FlightDataObject::answerActivity(const ActivityDone& done, const std::function<bool()>& read)
{
    std::optional<bool> active;
    QString why;
    try {
        active = read();
    } catch (const FlightDataError& error) {
        why = QString::fromStdString(error.what());
    }
    done(active, why);
}

bool FlightDataObject::readBoolean(FlightDataField field)
{
    return toBoolean(field, property(field));
}

bool FlightDataObject::toBoolean(FlightDataField field, const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (isNumeric(value))
        return value.toDouble() != 0;
    throwWrongType(field, value, "a boolean");
}

} // namespace glimrow
