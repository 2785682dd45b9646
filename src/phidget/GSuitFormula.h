#pragma once

// A G-suit conversion formula: what a servo motor is told for a load factor G, as a linear
// formula in G ("G", "30*G", "30*G+10", "-15*G+90", "G/2"; spaces and decimal numbers allowed).

#include <QString>

#include <optional>

namespace glimrow {

class GSuitFormula {
public:
    // The formula in `text`, or nothing with why it cannot be read in `problem`. An empty text
    // is G itself.
    static std::optional<GSuitFormula> parse(const QString& text, QString* problem);

    double operator()(double g) const { return m_scale * g + m_offset; }

private:
    double m_scale = 1;
    double m_offset = 0;
};

} // namespace glimrow
