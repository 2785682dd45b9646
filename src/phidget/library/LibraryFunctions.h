#pragma once

// Looking up a vendor library's C functions by name, collecting the names that are missing so
// that one message can list them all.

#include <QLibrary>
#include <QStringList>

namespace glimrow::library {

template <typename Function>
void resolve(QLibrary& library, const char* name, Function*& function, QStringList& missing)
{
    function = reinterpret_cast<Function*>(library.resolve(name));
    if (!function)
        missing << QString::fromLatin1(name);
}

// Loads `file` (a path, or a name the dynamic loader looks up). Empty on success, else why not.
QString loadLibrary(QLibrary& library, const QString& file);

// The library's text for an error code, or the code itself.
QString errorText(int (*description)(int code, const char** text), int code);

// "libphidget22 1.19" from "Phidget22 - Version 1.19 - Built ...", the form both libraries use.
QString versionLine(const QString& libraryName, const char* versionText);

} // namespace glimrow::library
