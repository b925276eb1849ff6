#include "testinchild.h"

#include "permissionoverride.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

namespace
{

const char kFolderVariable[] = "TALVANE_TEST_CHILD_FOLDER";

} // namespace

namespace TestInChild
{

bool inChild()
{
    return qEnvironmentVariableIsSet(kFolderVariable);
}

QString sharedFolder()
{
    return qEnvironmentVariable(kFolderVariable);
}

QString unavailableReason(As as)
{
    return as == As::OtherUser ? PermissionOverride::otherUserUnavailableReason()
                               : PermissionOverride::unavailableReason();
}

bool runCurrentTest(As as, const QString& folder, QByteArray& log)
{
    QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag() != nullptr && *QTest::currentDataTag() != '\0')
        function += QLatin1Char(':') + QString::fromUtf8(QTest::currentDataTag());
    const QString program = QCoreApplication::applicationFilePath();
    const QStringList command = as == As::OtherUser
                                    ? PermissionOverride::commandAsOtherUser(program, {function})
                                    : PermissionOverride::commandWithout(program, {function});
    QProcess child;
    child.setProgram(command.front());
    child.setArguments(command.mid(1));
    child.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kFolderVariable), folder);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.setStandardInputFile(QProcess::nullDevice());
    child.start();
    const bool finished = child.waitForFinished(300000);
    if (!finished)
        child.kill();
    child.waitForFinished();
    log = child.readAll();
    return finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0 &&
           !log.contains("FAIL!");
}

} // namespace TestInChild
