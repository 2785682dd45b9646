#pragma once

// Pigrelay as the program reaches it: the library is loaded by name at the first call of any
// of its functions, and each function is looked up by its exported name at its first call.
// Only 32-bit integers cross the boundary; results are ignored except OpenEpic's and
// CloseEpic's.

#include <QLibrary>
#include <QString>

#include <map>
#include <stdexcept>
#include <string>

namespace glimrow {

// The library or one of its functions cannot be found; the message names what is missing.
class PigrelayError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PigrelayApi {
public:
    virtual ~PigrelayApi() = default;
    // Calls a function without argument, or with one integer; throws PigrelayError.
    virtual int call(const char* function) = 0;
    virtual int call(const char* function, int argument) = 0;

protected:
    PigrelayApi() = default;
};

class PigrelayLibrary final : public PigrelayApi {
public:
    // Looks for the library beside the program first (and in ../lib/glimrow, where it is
    // installed), then where the system looks for libraries; or uses the file given.
    explicit PigrelayLibrary(const QString& file = QString());

    int call(const char* function) override;
    int call(const char* function, int argument) override;

private:
    QFunctionPointer resolve(const char* function);
    void load();

    QString m_file;
    QLibrary m_library;
    std::map<std::string, QFunctionPointer> m_functions;
};

} // namespace glimrow
