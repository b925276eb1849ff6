#include "smallfilesystem.h"

#include <QDir>
#include <QFile>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>

SmallFileSystem::SmallFileSystem(const QString& folder, const QString& size)
    : mFolder(folder), mOptions("size=" + size.toLatin1())
{
    QDir().mkpath(folder);
    mMounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, mOptions.constData()) == 0;
    if (!mMounted)
        mReason = QStringLiteral("cannot mount a tmpfs here (needs root): %1")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

SmallFileSystem::~SmallFileSystem()
{
    if (mMounted)
        ::umount2(QFile::encodeName(mFolder).constData(), MNT_DETACH);
}

bool SmallFileSystem::remountReadOnly()
{
    return ::mount("tmpfs", QFile::encodeName(mFolder).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                   mOptions.constData()) == 0;
}

bool SmallFileSystem::fill()
{
    QFile filler(mFolder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block(1024, 'x');
    while (filler.write(block) == block.size() && filler.flush())
    {
    }
    // Whatever the last partial block left: fill byte by byte.
    while (filler.write("x", 1) == 1 && filler.flush())
    {
    }
    filler.close();
    QFile probe(mFolder + QStringLiteral("/probe"));
    const bool full = !probe.open(QIODevice::WriteOnly) || probe.write("x", 1) != 1 || !probe.flush();
    probe.close();
    probe.remove();
    return full;
}
