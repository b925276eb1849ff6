#pragma once

#include <QByteArray>
#include <QString>

// A small tmpfs mounted on a folder for the life of the object, so that a test can make a
// write fail for real: tests run as root, and folder permissions stop no write of root's.
// Mounting needs root; where the system refuses, mounted() is false and reason() says why
// (the test skips with it). Unmounted on destruction, even while a file in it is open.
class SmallFileSystem
{
public:
    // `folder` is made when missing; `size` as mount takes it ("64k", "256k").
    explicit SmallFileSystem(const QString& folder, const QString& size = QStringLiteral("64k"));
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mMounted; }
    QString reason() const { return mReason; }
    QString folder() const { return mFolder; }

    bool remountReadOnly();
    // Writes one file, "filler", until not one byte more fits; true when the file system is
    // full then.
    bool fill();

private:
    QString mFolder;
    QByteArray mOptions;
    bool mMounted = false;
    QString mReason;
};
