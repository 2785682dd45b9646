#include "epic/PigrelayLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace glimrow {
namespace {

#if defined(_WIN32) && !defined(_WIN64)
#define GLIMROW_PIGRELAY_CALL __stdcall
#else
#define GLIMROW_PIGRELAY_CALL
#endif

using NoArgument = int(GLIMROW_PIGRELAY_CALL*)();
using OneArgument = int(GLIMROW_PIGRELAY_CALL*)(int);

QString libraryFile()
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const char* folder : {".", "../lib/glimrow"}) {
        for (const char* file : {"libPigrelay.so", "Pigrelay.dll"}) {
            const QString candidate = QDir(programDir.filePath(QLatin1StringView(folder)))
                                          .filePath(QLatin1StringView(file));
            if (QFileInfo::exists(candidate))
                return QFileInfo(candidate).canonicalFilePath();
        }
    }
    return QStringLiteral("Pigrelay");
}

} // namespace

PigrelayLibrary::PigrelayLibrary(const QString& file) : m_file(file) {}

void PigrelayLibrary::load()
{
    if (m_library.isLoaded())
        return;
    m_library.setFileName(m_file.isEmpty() ? libraryFile() : m_file);
    if (!m_library.load()) {
        throw PigrelayError(QStringLiteral("The Pigrelay library could not be loaded (%1).")
                                .arg(m_library.errorString())
                                .toStdString());
    }
}

QFunctionPointer PigrelayLibrary::resolve(const char* function)
{
    const auto known = m_functions.find(function);
    if (known != m_functions.end())
        return known->second;
    load();
    const QFunctionPointer resolved = m_library.resolve(function);
    if (!resolved) {
        throw PigrelayError(QStringLiteral("The Pigrelay library has no function %1.")
                                .arg(QLatin1StringView(function))
                                .toStdString());
    }
    m_functions.emplace(function, resolved);
    return resolved;
}

int PigrelayLibrary::call(const char* function)
{
    return reinterpret_cast<NoArgument>(resolve(function))();
}

int PigrelayLibrary::call(const char* function, int argument)
{
    return reinterpret_cast<OneArgument>(resolve(function))(argument);
}

} // namespace glimrow
