#include "permissionoverride.h"

#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace
{

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

} // namespace

namespace PermissionOverride
{

QString unavailableReason()
{
#ifndef Q_OS_UNIX
    return QStringLiteral("folder permissions are POSIX permissions only here");
#else
    if (runningAsRoot() && QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return QStringLiteral("running as root without setpriv: every permission check would pass");
    return QString();
#endif
}

QStringList commandWithout(const QString& program, const QStringList& arguments)
{
    if (!runningAsRoot())
        return QStringList{program} + arguments;
    return QStringList{QStandardPaths::findExecutable(QStringLiteral("setpriv")),
                       QStringLiteral("--bounding-set=-all"), QStringLiteral("--inh-caps=-all"),
                       QStringLiteral("--")} +
           QStringList{program} + arguments;
}

QString otherUserUnavailableReason()
{
#ifndef Q_OS_UNIX
    return QStringLiteral("users and their files are POSIX users here");
#else
    if (!runningAsRoot())
        return QStringLiteral("only root can start a child as another user");
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
        return QStringLiteral("setpriv is missing");
    return QString();
#endif
}

QStringList commandAsOtherUser(const QString& program, const QStringList& arguments)
{
    const QString id = QString::number(kOtherUser);
    return QStringList{QStandardPaths::findExecutable(QStringLiteral("setpriv")),
                       QStringLiteral("--reuid=") + id,
                       QStringLiteral("--regid=") + id,
                       QStringLiteral("--clear-groups"),
                       QStringLiteral("--bounding-set=-all"),
                       QStringLiteral("--inh-caps=-all"),
                       QStringLiteral("--")} +
           QStringList{program} + arguments;
}

} // namespace PermissionOverride
