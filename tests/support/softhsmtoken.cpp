#include "softhsmtoken.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QtGlobal>

#include <cstdio>

SoftHsmToken::SoftHsmToken()
{
    if (!mFolder.isValid())
        return;
    QDir(mFolder.path()).mkdir(QStringLiteral("tokens"));
    const QString configuration = mFolder.filePath(QStringLiteral("softhsm2.conf"));
    QFile file(configuration);
    if (file.open(QIODevice::WriteOnly))
        file.write(
            QStringLiteral("directories.tokendir = %1\nobjectstore.backend = file\nlog.level = ERROR\n")
                .arg(mFolder.filePath(QStringLiteral("tokens")))
                .toUtf8());
    qputenv("SOFTHSM2_CONF", QFile::encodeName(configuration));
}

bool SoftHsmToken::initialise(const QString& label, const QString& pin)
{
    QProcess tool;
    tool.start(QStringLiteral("softhsm2-util"),
               {QStringLiteral("--init-token"), QStringLiteral("--free"), QStringLiteral("--label"), label,
                QStringLiteral("--pin"), pin, QStringLiteral("--so-pin"), QStringLiteral("so-") + pin});
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
    {
        std::fprintf(stderr, "softhsm2-util: %s\n", tool.readAllStandardError().constData());
        return false;
    }
    return true;
}

QString SoftHsmToken::listObjects(const QString& pin) const
{
    QProcess tool;
    tool.start(QStringLiteral("pkcs11-tool"),
               {QStringLiteral("--module"), QString::fromLatin1(kModule), QStringLiteral("--login"),
                QStringLiteral("--pin"), pin, QStringLiteral("--list-objects")});
    tool.waitForFinished(60000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QStringList SoftHsmToken::files() const
{
    QStringList found;
    QDirIterator it(mFolder.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}
