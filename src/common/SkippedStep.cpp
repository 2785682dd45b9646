#include "common/SkippedStep.h"

#include <QMutex>
#include <QSet>
#include <QString>

namespace glimrow {

void logSkippedStep(const QLoggingCategory& category, const char* step, const char* why)
{
    // A failing step fails again on every cycle (10 times a second); its message is said once.
    static QMutex mutex;
    static QSet<QString> said;
    const QString message =
        QLatin1StringView(step) + QStringLiteral(" skipped: ") + QString::fromUtf8(why);
    {
        const QMutexLocker lock(&mutex);
        if (said.contains(message))
            return;
        said.insert(message);
    }
    qCWarning(category).noquote() << message;
}

} // namespace glimrow
