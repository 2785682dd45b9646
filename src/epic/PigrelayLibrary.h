#pragma once

// Pigrelay as the program reaches it: a table of its functions, typed from Pigrelay.h (with
// its calling convention), bound when the library is first needed. Only 32-bit integers cross
// the boundary.

#include "pigrelay/Pigrelay.h"

#include <QLibrary>
#include <QString>

#include <stdexcept>

namespace glimrow {

// The library or some of its functions cannot be found; the message names what is missing.
class PigrelayError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PigrelayFunctions {
    using NoArgument = decltype(&::OpenEpic);
    using OneArgument = decltype(&::RPMCallRet);

    // XCallRet, XPHCallRet and SendXPH of a value channel.
    struct ValueChannel {
        OneArgument CallRet = nullptr;
        OneArgument PHCallRet = nullptr;
        NoArgument SendPH = nullptr;
    };
    // XPHCallRet and SendXPH(word) of a light-bit word.
    struct WordChannel {
        OneArgument PHCallRet = nullptr;
        decltype(&::SendLBPH) SendPH = nullptr;
    };

    NoArgument OpenEpic = nullptr;
    NoArgument CloseEpic = nullptr;
    ValueChannel RPM, RPM2, OIL, OIL2, CHAFF, FLARE, ROLL, PITCH, TOTAL, INTERNAL, EXTERNAL, MACH,
        KIAS, GS, NOZZLE, NOZZLE2, FTIT, FTIT2, SPEEDBRAKE, EPUFUEL, FUELFLOW, UFC, AUX;
    WordChannel LB, LB2, LB3;
    OneArgument INTRESPHCallRet = nullptr;
    NoArgument SendFUELRESPH = nullptr;
    OneArgument INTWINGPHCallRet = nullptr;
    NoArgument SendINTWINGPH = nullptr;
};

class PigrelayLibrary {
public:
    // Looks for the library beside the program first (and in ../lib/<multiarch>/glimrow, where
    // it is installed), then where the system looks for libraries; or uses the file given.
    explicit PigrelayLibrary(const QString& file = QString());

    // Loads the library and binds every function at the first call. Throws PigrelayError
    // naming the library's load error, or every function it lacks, in one message; the next
    // call tries again.
    const PigrelayFunctions& functions();

private:
    void bind();

    QString m_file;
    QLibrary m_library;
    PigrelayFunctions m_functions;
    bool m_bound = false;
};

} // namespace glimrow
