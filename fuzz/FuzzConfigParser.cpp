// Fuzz target: the Glimrow.cfg parser on any text. It must end in a clean parse or the format
// error, and a clean parse must never put a line end inside a field.

#include "cockpit/ConfigFileParser.h"

#include <cstdint>
#include <cstdlib>

namespace {

class IgnoredKeys : public glimrow::ConfigGlobalKeys {
public:
    void setServerAddress(const QString&) override {}
    void setServerPort(const QString&) override {}
    void selectConnectType(int index) override
    {
        if (index != 0 && index != 1)
            std::abort();
    }
    void setNoScreenUpdate(bool) override {}
    void setUpdateEpicAnyway(bool) override {}
    void setGSuitFormula(int, const QString&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    glimrow::ConfigTables tables;
    IgnoredKeys keys;
    if (glimrow::ConfigFileParser::parse(text, tables, keys) && tables.maSKITS) {
        for (qsizetype row = 0; row < tables.maSKITS->rowCount(); ++row) {
            for (int field = 0; field < 4; ++field) {
                if (tables.maSKITS->field(field, row).contains(u'\n'))
                    std::abort();
            }
        }
    }
    return 0;
}
