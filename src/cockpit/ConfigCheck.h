#pragma once

// What the lines of Glimrow.cfg mean, checked against the boards and keywords the program
// knows: a lamp outside its board, a row a display does not have, a keyword nothing knows, a
// number that is not one, a line with too few fields. Each finding is a warning: the program
// still starts, and the line is skipped where it is used (or does nothing), as before.

#include "cockpit/ConfigFileParser.h"
#include "cockpit/ConfigProblem.h"
#include "cockpit/ConfigTables.h"

#include <QStringList>

namespace glimrow {

// The one of `known` closest to `name` (letter case ignored; equally close ones joined with
// " or "), or "" when none is close.
QString closestName(const QString& name, const QStringList& known);

// "unknown section [PLED-64-1], ignored; did you mean [PLED64-1]?"
QString unknownSectionMessage(const QString& name);

// In file order (a stable sort: the findings on one line keep their order).
void sortByLine(ConfigProblems& problems);

// `fileLines`: the file's lines as written (line N is fileLines[N - 1]).
ConfigProblems checkSections(const ConfigTables& tables, const QStringList& fileLines);

// `text` parsed into `tables` (its global keys applied to `keys`) and its lines checked: every
// error and warning, in file order.
ConfigProblems readConfigText(QStringView text, ConfigTables& tables, ConfigGlobalKeys& keys);
bool hasError(const ConfigProblems& problems);
// Each error as a sentence naming its line, one per line of a message box.
QString errorSentences(const ConfigProblems& problems, const QString& file);

// The file at `path` read and parsed as start-up does (its global keys applied to nothing),
// then checked: every error and warning, none when it is fine (glimrow --check-config).
ConfigProblems checkConfigFile(const QString& path);

} // namespace glimrow
