#pragma once

// The lines of one device section of Glimrow.cfg, four text fields per line, in file order.
// The output procedures rewrite field 3 (the value to show) as they run.

#include <QString>

#include <array>
#include <vector>

namespace glimrow {

class SectionTable {
public:
    using Row = std::array<QString, 4>;

    qsizetype rowCount() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }

    // Field 0 to 3 of row 0 to rowCount() - 1; anything else throws std::out_of_range.
    const QString& field(int field, qsizetype row) const;
    void setField(int field, qsizetype row, const QString& text);

    // `fileLine`: the line of Glimrow.cfg the row was read from (1 is the first), for messages.
    void appendRow(Row row, int fileLine = 0)
    {
        m_rows.push_back(std::move(row));
        m_fileLines.push_back(fileLine);
    }
    const Row& row(qsizetype row) const;
    int fileLine(qsizetype row) const;

private:
    std::vector<Row> m_rows;
    std::vector<int> m_fileLines;
};

} // namespace glimrow
