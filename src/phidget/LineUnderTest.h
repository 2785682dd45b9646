#pragma once

// The test of one output: while the user has one line of a section under test (to find which
// lamp, output, row or pigeonhole it drives), the update cycle leaves that line alone.

#include <QtGlobal>

#include <optional>

namespace glimrow {

class LineUnderTest {
public:
    void setLineUnderTest(std::optional<qsizetype> row) { m_row = row; }
    std::optional<qsizetype> lineUnderTest() const { return m_row; }

protected:
    bool isUnderTest(qsizetype row) const { return m_row == row; }

private:
    std::optional<qsizetype> m_row;
};

} // namespace glimrow
