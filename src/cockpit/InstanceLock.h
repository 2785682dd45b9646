#pragma once

// The single-copy lock. It lives in the user's runtime folder, so copies of different users
// never see each other. Without one, it lives in a folder of the user's own under the temporary
// folder, which everybody can write to: that folder is made private, and one that another user
// could have made or can reach into (a symlink, owned by someone else, open to others) is
// refused, as is a lock file that is a symlink, so nobody can steer the lock elsewhere.

#include <QString>

#include <memory>
#include <optional>

class QLockFile;

namespace glimrow {

class InstanceLock {
public:
    enum class Outcome { Locked, HeldByAnotherCopy, Failed };

    // Where the lock goes by default; `why` gets the reason when no safe place exists.
    static QString defaultPath(QString* why);
    // Makes `folder` (mode 0700) when it is missing; why it cannot be used, or "".
    static QString privateFolderProblem(const QString& folder);

    explicit InstanceLock(QString path);
    ~InstanceLock();

    // A lock left by a crashed copy is recognised as stale (its process is gone) and taken.
    Outcome tryLock(QString* why);
    // Who holds the lock another copy has, for the user: "process 1234 (glimrow)".
    QString holder() const;
    // The working folder (where its Glimrow.cfg is) of the running copy that holds the lock at
    // `path`, and its process; nothing when no copy runs.
    struct RunningCopy {
        qint64 pid = 0;
        QString folder;
    };
    static std::optional<RunningCopy> runningCopy(const QString& path);
    const QString& path() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace glimrow
