#include "epic/PigrelayLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace glimrow {
namespace {

QString libraryFile()
{
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const char* folder : {".", GLIMROW_PRIVATE_LIBDIR}) {
        for (const char* file : {"libPigrelay.so", "Pigrelay.dll"}) {
            const QString candidate = QDir(programDir.filePath(QLatin1StringView(folder)))
                                          .filePath(QLatin1StringView(file));
            if (QFileInfo::exists(candidate))
                return QFileInfo(candidate).canonicalFilePath();
        }
    }
    return QStringLiteral("Pigrelay");
}

using Functions = PigrelayFunctions;

// Every value channel with its three exported names.
const struct {
    const char* CallRet;
    const char* PHCallRet;
    const char* SendPH;
    Functions::ValueChannel Functions::*channel;
} kValueChannels[] = {
    {"RPMCallRet", "RPMPHCallRet", "SendRPMPH", &Functions::RPM},
    {"RPM2CallRet", "RPM2PHCallRet", "SendRPM2PH", &Functions::RPM2},
    {"OILCallRet", "OILPHCallRet", "SendOILPH", &Functions::OIL},
    {"OIL2CallRet", "OIL2PHCallRet", "SendOIL2PH", &Functions::OIL2},
    {"CHAFFCallRet", "CHAFFPHCallRet", "SendCHAFFPH", &Functions::CHAFF},
    {"FLARECallRet", "FLAREPHCallRet", "SendFLAREPH", &Functions::FLARE},
    {"ROLLCallRet", "ROLLPHCallRet", "SendROLLPH", &Functions::ROLL},
    {"PITCHCallRet", "PITCHPHCallRet", "SendPITCHPH", &Functions::PITCH},
    {"TOTALCallRet", "TOTALPHCallRet", "SendTOTALPH", &Functions::TOTAL},
    {"INTERNALCallRet", "INTERNALPHCallRet", "SendINTERNALPH", &Functions::INTERNAL},
    {"EXTERNALCallRet", "EXTERNALPHCallRet", "SendEXTERNALPH", &Functions::EXTERNAL},
    {"MACHCallRet", "MACHPHCallRet", "SendMACHPH", &Functions::MACH},
    {"KIASCallRet", "KIASPHCallRet", "SendKIASPH", &Functions::KIAS},
    {"GSCallRet", "GSPHCallRet", "SendGSPH", &Functions::GS},
    {"NOZZLECallRet", "NOZZLEPHCallRet", "SendNOZZLEPH", &Functions::NOZZLE},
    {"NOZZLE2CallRet", "NOZZLE2PHCallRet", "SendNOZZLE2PH", &Functions::NOZZLE2},
    {"FTITCallRet", "FTITPHCallRet", "SendFTITPH", &Functions::FTIT},
    {"FTIT2CallRet", "FTIT2PHCallRet", "SendFTIT2PH", &Functions::FTIT2},
    {"SPEEDBRAKECallRet", "SPEEDBRAKEPHCallRet", "SendSPEEDBRAKEPH", &Functions::SPEEDBRAKE},
    {"EPUFUELCallRet", "EPUFUELPHCallRet", "SendEPUFUELPH", &Functions::EPUFUEL},
    {"FUELFLOWCallRet", "FUELFLOWPHCallRet", "SendFUELFLOWPH", &Functions::FUELFLOW},
    {"UFCCallRet", "UFCPHCallRet", "SendUFCPH", &Functions::UFC},
    {"AUXCallRet", "AUXPHCallRet", "SendAUXPH", &Functions::AUX},
};

const struct {
    const char* PHCallRet;
    const char* SendPH;
    Functions::WordChannel Functions::*channel;
} kWordChannels[] = {
    {"LBPHCallRet", "SendLBPH", &Functions::LB},
    {"LB2PHCallRet", "SendLB2PH", &Functions::LB2},
    {"LB3PHCallRet", "SendLB3PH", &Functions::LB3},
};

class Binder {
public:
    explicit Binder(QLibrary& library) : m_library(library) {}

    template <typename Function> void operator()(const char* name, Function& function)
    {
        function = reinterpret_cast<Function>(m_library.resolve(name));
        if (!function)
            m_missing << QLatin1StringView(name);
    }
    const QStringList& missing() const { return m_missing; }

private:
    QLibrary& m_library;
    QStringList m_missing;
};

} // namespace

PigrelayLibrary::PigrelayLibrary(const QString& file) : m_file(file) {}

const PigrelayFunctions& PigrelayLibrary::functions()
{
    if (!m_bound)
        bind();
    return m_functions;
}

void PigrelayLibrary::bind()
{
    if (!m_library.isLoaded()) {
        m_library.setFileName(m_file.isEmpty() ? libraryFile() : m_file);
        if (!m_library.load()) {
            throw PigrelayError(QStringLiteral("The Pigrelay library could not be loaded (%1).")
                                    .arg(m_library.errorString())
                                    .toStdString());
        }
    }
    Functions bound;
    Binder bind(m_library);
    bind("OpenEpic", bound.OpenEpic);
    bind("CloseEpic", bound.CloseEpic);
    for (const auto& channel : kValueChannels) {
        bind(channel.CallRet, (bound.*channel.channel).CallRet);
        bind(channel.PHCallRet, (bound.*channel.channel).PHCallRet);
        bind(channel.SendPH, (bound.*channel.channel).SendPH);
    }
    for (const auto& channel : kWordChannels) {
        bind(channel.PHCallRet, (bound.*channel.channel).PHCallRet);
        bind(channel.SendPH, (bound.*channel.channel).SendPH);
    }
    bind("INTRESPHCallRet", bound.INTRESPHCallRet);
    bind("SendFUELRESPH", bound.SendFUELRESPH);
    bind("INTWINGPHCallRet", bound.INTWINGPHCallRet);
    bind("SendINTWINGPH", bound.SendINTWINGPH);
    if (!bind.missing().isEmpty()) {
        throw PigrelayError(
            QStringLiteral("The Pigrelay library %1 lacks %2.")
                .arg(m_library.fileName(), bind.missing().join(QStringLiteral(", ")))
                .toStdString());
    }
    m_functions = bound;
    m_bound = true;
}

} // namespace glimrow
