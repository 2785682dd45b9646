#pragma once

// Where `glimrow --record` writes, opened so that nothing already on disk is harmed:
// - a file is made new beside the target and renamed into place, so an existing recording is
//   never emptied before the new one holds anything, and a symbolic link at the target is
//   replaced, never written through. An existing target is refused unless replacing was asked.
// - a FIFO (`mkfifo`, a pipe to a compressor) is written as it is; it is opened and written
//   without blocking, so a pipe without a reader, or one that stops reading, never holds the
//   thread beyond a give-up.
// Errors carry the system's own words ("No space left on device").

#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>

namespace glimrow {

class RecordingFile {
public:
    // Nothing, and why in `problem`, when the target cannot be written.
    static std::unique_ptr<RecordingFile> create(const QString& path, bool replaceExisting,
                                                 QString* problem);
    ~RecordingFile();
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    enum class Written { All, GivenUp, Failed };
    // Writes all of `bytes`, waiting as long as it takes unless `giveUp` is set first. A FIFO
    // is opened by the first write, once it has a reader. On Failed, `problem` says why.
    Written write(const QByteArray& bytes, const std::atomic<bool>& giveUp, QString* problem);

    const QString& path() const { return m_path; }

private:
    RecordingFile(QString path, int fd, bool isFifo);
    Written openFifo(const std::atomic<bool>& giveUp, QString* problem);

    QString m_path;
    int m_fd = -1;
    bool m_isFifo = false;
};

} // namespace glimrow
