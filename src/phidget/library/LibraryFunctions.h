#pragma once

// Loading a vendor library and looking up its C functions by name, collecting the names that
// are missing so that one message can list them all.

#include <QLibrary>
#include <QStringList>

namespace glimrow::library {

class Functions {
public:
    // Loads `file`: a path, or a name the dynamic loader looks up.
    explicit Functions(const QString& file);

    template <typename Function> void resolve(const char* name, Function*& function)
    {
        function = reinterpret_cast<Function*>(m_library.resolve(name));
        if (!function)
            m_missing << QString::fromLatin1(name);
    }
    // Empty when the library loaded and had every function looked up, else why not.
    QString problem() const;

private:
    QLibrary m_library;
    QString m_loadError;
    QStringList m_missing;
};

// The library's text for an error code, or the code itself.
QString errorText(int (*description)(int code, const char** text), int code);

// "libphidget22 1.19" from "Phidget22 - Version 1.19 - Built ...", the form both libraries use.
QString versionLine(const QString& libraryName, const char* versionText);

} // namespace glimrow::library
