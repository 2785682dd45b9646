#pragma once

// Reads the text of Glimrow.cfg into the section tables and applies its global keys.
//
// A file is a sequence of lines ending in CR LF (a lone LF or CR is accepted too). A line starting
// with "/" is a comment and ends the section it stands in. A section starts with "[name]".
// The global keys (TCPIP-IP, TCPIP-PORT, COMPREF, NOSCREENUPDATE, UPDATEEPICANYWAY) take the
// one line after their header as their value; every other section is a device section whose
// lines, up to the next header, comment or the end, are split into four fields at the first
// three commas. Blank lines are a format error, except at the very end of the file.

#include "cockpit/ConfigProblem.h"
#include "cockpit/ConfigTables.h"

#include <QString>
#include <QStringList>
#include <QStringView>

namespace glimrow {

// What the global keys set on the window. They are applied while the file is being read, in
// file order, so a COMPREF connection starts with the address and port known at that point.
class ConfigGlobalKeys {
public:
    virtual ~ConfigGlobalKeys() = default;
    virtual void setServerAddress(const QString& address) = 0; // [TCPIP-IP]
    virtual void setServerPort(const QString& port) = 0;       // [TCPIP-PORT]
    // [COMPREF]: 1 ("DCOM", exact case) or 0 (anything else, TCP/IP).
    virtual void selectConnectType(int index) = 0;
    virtual void setNoScreenUpdate(bool checked) = 0;   // [NOSCREENUPDATE] "TRUE", any case
    virtual void setUpdateEpicAnyway(bool checked) = 0; // [UPDATEEPICANYWAY] "TRUE", any case
    // [GSUIT-1], [GSUIT-2]: the conversion formula of G-suit motor 1 or 2, as written.
    virtual void setGSuitFormula(int motor, const QString& formula) = 0;
    // [WEB]: where the dashboard listens, [ADDRESS:]PORT as written.
    virtual void setWebListen(const QString& listen) { (void)listen; }
    // [UPDATE-ON-ARRIVAL]: on unless "FALSE", any case.
    virtual void setUpdateOnArrival(bool on) { (void)on; }
    // [OPEN-EPIC-AT-START]: "TRUE", any case, opens the EPIC card at the end of start-up.
    virtual void setOpenEpicAtStart(bool open) { (void)open; }

protected:
    ConfigGlobalKeys() = default;
};

class ConfigFileParser {
public:
    // Lines one device section may hold: far more than any board has outputs (an LED-64 has
    // 64), and few enough that a runaway file cannot make the window take gigabytes.
    static constexpr qsizetype kMaxLinesPerSection = 1000;

    // The message shown when the file breaks the rules.
    static QString formatErrorText();

    // The file's whole text: UTF-8 when it is valid UTF-8 (a byte-order mark skipped), else
    // Windows-1252, as Windows editors write. Throws StartupError when it is not a regular
    // file, cannot be read, or is far too large to be a configuration file.
    static QString readFile(const QString& path);

    // Fills `tables` (a later duplicate section replaces the earlier; unknown device sections
    // are dropped, with a warning) and applies global keys to `keys`. Reads the whole file:
    // `problems` gets every warning and every line that breaks the rules (an error), each with
    // its line. False when there was an error; global keys after the first are not applied.
    static bool parse(QStringView text, ConfigTables& tables, ConfigGlobalKeys& keys,
                      ConfigProblems* problems = nullptr);

    // The file's lines as the parser numbers them (CR LF, LF or CR alone end a line).
    static QStringList lines(QStringView text);
    // The global keys' section names.
    static QStringList globalKeyNames();
};

} // namespace glimrow
