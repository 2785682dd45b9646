#include "data/RecordingFile.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace glimrow {

namespace {

// How often a waiting write looks whether it should give up, and a FIFO for a reader.
constexpr int kLookAgainMs = 100;

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A new file beside `path`, made by this program alone; its descriptor, or -1 with errno.
int makeFileBeside(const QString& path, QByteArray* madePath)
{
    const QFileInfo target(path);
    *madePath = QFile::encodeName(
        target.dir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    const int fd = ::mkostemp(madePath->data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    // mkostemp makes it private; a recording is as readable as any file the user makes.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    return fd;
}

} // namespace

RecordingFile::RecordingFile(QString path, int fd, bool isFifo)
    : m_path(std::move(path)), m_fd(fd), m_isFifo(isFifo)
{
}

RecordingFile::~RecordingFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::unique_ptr<RecordingFile> RecordingFile::create(const QString& path, bool replaceExisting,
                                                     QString* problem)
{
    const QByteArray encoded = QFile::encodeName(path);
    struct stat existing {};
    const bool exists = ::lstat(encoded.constData(), &existing) == 0;
    if (exists && S_ISFIFO(existing.st_mode)) {
        // A reader that goes away must give the writer an error, not end the program.
        std::signal(SIGPIPE, SIG_IGN);
        return std::unique_ptr<RecordingFile>(new RecordingFile(path, -1, true));
    }
    if (exists && !replaceExisting) {
        *problem = QStringLiteral("%1 exists; give --record-replace to write over it").arg(path);
        return nullptr;
    }
    if (exists && S_ISDIR(existing.st_mode)) {
        *problem = QStringLiteral("%1 is a folder").arg(path);
        return nullptr;
    }
    QByteArray madePath;
    const int fd = makeFileBeside(path, &madePath);
    if (fd < 0) {
        *problem = QStringLiteral("cannot write %1: %2").arg(path, systemError(errno));
        return nullptr;
    }
    // In place at once, so the file is there under its name while it grows; without replacing,
    // a file that appeared meanwhile is kept.
    int error = 0;
    if (::renameat2(AT_FDCWD, madePath.constData(), AT_FDCWD, encoded.constData(),
                    replaceExisting ? 0 : RENAME_NOREPLACE) != 0)
        error = errno;
    // A file system that cannot rename without replacing: the name is looked for just before.
    if (error == EINVAL && !replaceExisting) {
        if (::lstat(encoded.constData(), &existing) == 0)
            error = EEXIST;
        else
            error = ::rename(madePath.constData(), encoded.constData()) == 0 ? 0 : errno;
    }
    if (error != 0) {
        ::unlink(madePath.constData());
        ::close(fd);
        *problem =
            error == EEXIST
                ? QStringLiteral("%1 exists; give --record-replace to write over it").arg(path)
                : QStringLiteral("cannot write %1: %2").arg(path, systemError(error));
        return nullptr;
    }
    return std::unique_ptr<RecordingFile>(new RecordingFile(path, fd, false));
}

RecordingFile::Written RecordingFile::openFifo(const std::atomic<bool>& giveUp, QString* problem)
{
    const QByteArray encoded = QFile::encodeName(m_path);
    while (!giveUp.load()) {
        m_fd = ::open(encoded.constData(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (m_fd >= 0)
            return Written::All;
        if (errno != ENXIO && errno != EINTR) { // ENXIO: nobody reads it yet
            *problem = systemError(errno);
            return Written::Failed;
        }
        ::poll(nullptr, 0, kLookAgainMs);
    }
    return Written::GivenUp;
}

RecordingFile::Written RecordingFile::write(const QByteArray& bytes,
                                            const std::atomic<bool>& giveUp, QString* problem)
{
    if (m_fd < 0 && m_isFifo) {
        if (const Written opened = openFifo(giveUp, problem); opened != Written::All)
            return opened;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (wrote > 0) {
            done += wrote;
            continue;
        }
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0 && errno == EAGAIN) { // a full pipe: wait for room, or give up
            if (giveUp.load())
                return Written::GivenUp;
            pollfd room{m_fd, POLLOUT, 0};
            ::poll(&room, 1, kLookAgainMs);
            continue;
        }
        *problem = systemError(wrote < 0 ? errno : ENOSPC);
        return Written::Failed;
    }
    return Written::All;
}

} // namespace glimrow
