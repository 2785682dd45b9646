#include "phidget/library/PhidgetLibraryChoice.h"

#include "phidget/library/Phidget21Backend.h"
#include "phidget/library/Phidget22Backend.h"

#include <QFileInfo>

namespace glimrow {

namespace {

// A library that is simply not installed is no problem worth reporting; one that is there but
// will not load, or lacks functions, is.
void noteProblem(QStringList& problems, const QString& file, const QString& error)
{
    const bool absent = QFileInfo(file).isAbsolute()
                            ? !QFileInfo::exists(file)
                            : error.contains(QStringLiteral("No such file"), Qt::CaseInsensitive) ||
                                  error.contains(QStringLiteral("not found"), Qt::CaseInsensitive);
    if (!absent)
        problems << error;
}

} // namespace

PhidgetLibraryChoice choosePhidgetLibrary(const PhidgetLibraryFiles& files)
{
    PhidgetLibraryChoice choice;
    QString error;
    if (auto backend = Phidget22Backend::load(files.phidget22, &error)) {
        choice.backend = std::move(backend);
    } else {
        noteProblem(choice.problems, files.phidget22, error);
        if (auto older = Phidget21Backend::load(files.phidget21, &error))
            choice.backend = std::move(older);
        else
            noteProblem(choice.problems, files.phidget21, error);
    }
    choice.description = choice.backend ? choice.backend->description() : kNoPhidgetLibraryLine;
    return choice;
}

} // namespace glimrow
