#pragma once

// A mistake found in Glimrow.cfg: the line it is on, the line as written, and what was
// expected there. An error stops start-up (or a reload); a warning names something the program
// accepts but that cannot work as the user meant, and the line is skipped where it is used.

#include <QString>

#include <vector>

namespace glimrow {

struct ConfigProblem {
    enum class Severity { Warning, Error };

    Severity severity = Severity::Warning;
    int line = 0;    // 1 is the first; 0 for the file as a whole
    QString text;    // the line as written
    QString message; // what is wrong, and what was expected

    // `FILE:LINE: warning: message ("text")`, as compilers write it.
    QString compilerStyle(const QString& file) const;
    // `FILE, line N: "text": message`, for a message box.
    QString sentence(const QString& file) const;
    // `Error: ` or `Warning: ` and the sentence on Glimrow.cfg, as the Messages list says it.
    QString messageLine() const;
};

using ConfigProblems = std::vector<ConfigProblem>;

} // namespace glimrow
