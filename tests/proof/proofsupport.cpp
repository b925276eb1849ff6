#include "proofsupport.h"

#include "talvanewidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

TalvaneWidget* FormDriver::shownForm()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TalvaneWidget*>(widget); form != nullptr && form->isVisible())
            return form;
    return nullptr;
}

QLineEdit* FormDriver::lineEdit(const char* name) const
{
    return mForm->findChild<QLineEdit*>(QLatin1String(name));
}

void FormDriver::chooseType(int index)
{
    mForm->findChild<QComboBox*>(QStringLiteral("mpCertificateTypeComboBox"))->setCurrentIndex(index);
}

void FormDriver::type(const char* field, const QString& text)
{
    QLineEdit* edit = lineEdit(field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void FormDriver::setValidity(const QDateTime& start, const QDateTime& end)
{
    mForm->findChild<QDateTimeEdit*>(QStringLiteral("mpStartValidityDateTimeEdit"))->setDateTime(start.toLocalTime());
    mForm->findChild<QDateTimeEdit*>(QStringLiteral("mpEndValidityDateTimeEdit"))->setDateTime(end.toLocalTime());
}

void FormDriver::fillDerived(int certificateType, const QString& issuer, const QString& issuerPassword,
                             const QString& destination)
{
    chooseType(certificateType);
    type("mpRootLineEdit", issuer);
    type("mpRootPasswordLineEdit", issuerPassword);
    if (certificateType == 1)
        type("mpPathLengthLineEdit", QStringLiteral("1"));
    type("mpDestinationNameLineEdit", destination);
    type("mpDestinationPasswordLineEdit", QStringLiteral("destination secret"));
    type("mpDestinationPasswordRepLineEdit", QStringLiteral("destination secret"));
    type("mpOrganizationLineEdit", QStringLiteral(".Lab.Example"));
    type("mpEntityLineEdit", certificateType == 2 ? QStringLiteral(".Player") : QStringLiteral(".Authority"));
}

void FormDriver::pressCreate()
{
    QTest::mouseClick(mForm->findChild<QPushButton*>(QStringLiteral("mpCreateButton")), Qt::LeftButton);
}

void FormDriver::createRootAndIntermediate(const QDateTime& start, const QDateTime& end)
{
    chooseType(0);
    type("mpRootNameLineEdit", QStringLiteral(".Root.Example"));
    type("mpOrganizationLineEdit", QStringLiteral(".Lab.Example"));
    type("mpEntityLineEdit", QStringLiteral(".Authority"));
    type("mpPathLengthLineEdit", QStringLiteral("3"));
    type("mpDestinationNameLineEdit", QStringLiteral("root"));
    type("mpDestinationPasswordLineEdit", QStringLiteral("destination secret"));
    type("mpDestinationPasswordRepLineEdit", QStringLiteral("destination secret"));
    setValidity(start, end);
    pressCreate();
    fillDerived(1, QStringLiteral("root.pfx"), QStringLiteral("destination secret"), QStringLiteral("intermediate"));
    setValidity(start, end);
    pressCreate();
}

QMap<QString, QByteArray> snapshot(const QString& folder)
{
    QMap<QString, QByteArray> entries;
    const QDir base(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
    {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QByteArray content = QByteArrayLiteral("<dir>");
        if (!info.isDir())
        {
            QFile file(path);
            content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<unreadable>");
        }
        entries.insert(base.relativeFilePath(path), content);
    }
    return entries;
}

SmallFileSystem::SmallFileSystem(const QString& folder, const QString& size) : mFolder(folder)
{
    QDir().mkpath(folder);
    QProcess mount;
    mount.setProcessChannelMode(QProcess::MergedChannels);
    mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=" + size, "tmpfs", folder});
    mMounted = mount.waitForFinished() && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
    if (!mMounted)
        mReason = QStringLiteral("cannot mount a tmpfs here (needs root): ") +
                  QString::fromLocal8Bit(mount.readAll()).trimmed();
}

SmallFileSystem::~SmallFileSystem()
{
    if (mMounted)
        QProcess::execute(QStringLiteral("umount"), {mFolder});
}

bool SmallFileSystem::remountReadOnly()
{
    return QProcess::execute(QStringLiteral("mount"), {"-o", "remount,ro", mFolder}) == 0;
}

bool SmallFileSystem::fill()
{
    QFile filler(mFolder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush())
    {
    }
    return true;
}
