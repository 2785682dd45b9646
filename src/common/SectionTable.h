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

    void appendRow(Row row) { m_rows.push_back(std::move(row)); }
    const Row& row(qsizetype row) const;

private:
    std::vector<Row> m_rows;
};

} // namespace glimrow
