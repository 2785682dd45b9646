#include "common/SectionTable.h"

#include <stdexcept>

namespace glimrow {
namespace {

void checkField(int field)
{
    if (field < 0 || field > 3)
        throw std::out_of_range("section table field index out of range");
}

} // namespace

const QString& SectionTable::field(int field, qsizetype row) const
{
    checkField(field);
    return this->row(row)[std::size_t(field)];
}

void SectionTable::setField(int field, qsizetype row, const QString& text)
{
    checkField(field);
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("section table row out of range");
    m_rows[std::size_t(row)][std::size_t(field)] = text;
}

const SectionTable::Row& SectionTable::row(qsizetype row) const
{
    if (row < 0 || row >= rowCount())
        throw std::out_of_range("section table row out of range");
    return m_rows[std::size_t(row)];
}

int SectionTable::fileLine(qsizetype row) const
{
    this->row(row); // the same range check
    return m_fileLines[std::size_t(row)];
}

} // namespace glimrow
