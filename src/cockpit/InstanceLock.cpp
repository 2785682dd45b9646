#include "cockpit/InstanceLock.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace glimrow {

QString InstanceLock::defaultPath(QString* why)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath() + QStringLiteral("/glimrow-%1").arg(::getuid());
        *why = privateFolderProblem(folder);
    }
    return folder + QStringLiteral("/glimrow.lock");
}

QString InstanceLock::privateFolderProblem(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("cannot make the folder %1: %2").arg(folder, strerror(errno));
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0)
        return QStringLiteral("cannot look at the folder %1: %2").arg(folder, strerror(errno));
    const auto unsafe = [&folder](const char* what) {
        return QStringLiteral("the lock folder %1 %2; remove it, or set XDG_RUNTIME_DIR to a "
                              "folder of your own")
            .arg(folder, QLatin1StringView(what));
    };
    if (S_ISLNK(status.st_mode))
        return unsafe("is a symbolic link");
    if (!S_ISDIR(status.st_mode))
        return unsafe("is not a folder");
    if (status.st_uid != ::getuid())
        return unsafe("belongs to another user");
    if ((status.st_mode & 077) != 0)
        return unsafe("can be opened by other users");
    return {};
}

InstanceLock::InstanceLock(QString path) : m_path(std::move(path)) {}

InstanceLock::~InstanceLock() = default;

InstanceLock::Outcome InstanceLock::tryLock(QString* why)
{
    QDir().mkpath(QFileInfo(m_path).path());
    if (QFileInfo(m_path).isSymLink()) {
        *why = QStringLiteral("Cannot create the lock file %1: it is a symbolic link").arg(m_path);
        return Outcome::Failed;
    }
    m_lock = std::make_unique<QLockFile>(m_path);
    if (m_lock->tryLock(0))
        return Outcome::Locked;
    if (m_lock->error() == QLockFile::LockFailedError)
        return Outcome::HeldByAnotherCopy;
    const bool denied = m_lock->error() == QLockFile::PermissionError;
    *why = QStringLiteral("Cannot create the lock file %1: %2")
               .arg(m_path, denied ? QStringLiteral("permission denied")
                                   : QStringLiteral("no such folder, or not writable"));
    return Outcome::Failed;
}

std::optional<InstanceLock::RunningCopy> InstanceLock::runningCopy(const QString& path)
{
    QLockFile lock(path);
    qint64 pid = 0;
    QString host;
    QString program;
    if (!lock.getLockInfo(&pid, &host, &program) || pid <= 0)
        return std::nullopt;
    // Readable for a process of the same user only, which a copy sharing the lock is.
    const QString folder = QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).symLinkTarget();
    if (folder.isEmpty())
        return std::nullopt; // a stale lock: its process is gone
    return RunningCopy{pid, folder};
}

QString InstanceLock::holder() const
{
    qint64 pid = 0;
    QString host;
    QString program;
    if (!m_lock || !m_lock->getLockInfo(&pid, &host, &program))
        return QStringLiteral("another process");
    return QStringLiteral("process %1 (%2)")
        .arg(pid)
        .arg(program.isEmpty() ? QStringLiteral("unknown program") : program);
}

} // namespace glimrow
