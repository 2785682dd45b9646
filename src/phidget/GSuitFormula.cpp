#include "phidget/GSuitFormula.h"

#include <QRegularExpression>

#include <cmath>

namespace glimrow {

std::optional<GSuitFormula> GSuitFormula::parse(const QString& text, QString* problem)
{
    // [sign] [number [*]] G [/ number] [+ or - number]
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*([+-])?\s*(\d+(?:\.\d+)?|\.\d+)?\s*(\*)?\s*[Gg]\s*(?:/\s*(\d+(?:\.\d+)?|\.\d+)\s*)?)"
        R"((?:([+-])\s*(\d+(?:\.\d+)?|\.\d+)\s*)?$)"));
    GSuitFormula formula;
    if (text.trimmed().isEmpty())
        return formula;
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch() || (match.hasCaptured(3) && !match.hasCaptured(2))) {
        *problem = QStringLiteral("not a formula in G; write it as a number times G, divided "
                                  "by a number, plus or minus a number, e.g. 30*G+10 or G/2");
        return std::nullopt;
    }
    if (match.hasCaptured(2))
        formula.m_scale = match.captured(2).toDouble();
    if (match.captured(1) == u"-")
        formula.m_scale = -formula.m_scale;
    if (match.hasCaptured(4)) {
        const double divisor = match.captured(4).toDouble();
        if (divisor == 0) {
            *problem = QStringLiteral("division by zero");
            return std::nullopt;
        }
        formula.m_scale /= divisor;
    }
    if (match.hasCaptured(6)) {
        formula.m_offset = match.captured(6).toDouble();
        if (match.captured(5) == u"-")
            formula.m_offset = -formula.m_offset;
    }
    // A number too long for a double reads as infinity: G times it is no position at all.
    if (!std::isfinite(formula.m_scale) || !std::isfinite(formula.m_offset)) {
        *problem = QStringLiteral("a number too large; no motor position comes of it");
        return std::nullopt;
    }
    return formula;
}

} // namespace glimrow
