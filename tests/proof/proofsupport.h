#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>

class QLineEdit;
class TalvaneWidget;

// Drives the main form the way a user does: typed fields, the type box, the Create button.
class FormDriver
{
public:
    // The form the controller shows (null when none is shown).
    static TalvaneWidget* shownForm();

    explicit FormDriver(TalvaneWidget* form) : mForm(form) {}

    void chooseType(int index); // 0 root, 1 intermediate, 2 leaf
    void type(const char* field, const QString& text);
    void setValidity(const QDateTime& start, const QDateTime& end);
    // Fills a derived certificate's fields: issuer file and password, destination, names.
    void fillDerived(int type, const QString& issuer, const QString& issuerPassword, const QString& destination);
    void pressCreate();
    // Creates root.pem/.pfx and intermediate.pem/.pfx in the working directory, valid from
    // `start` to `end`, with the password "destination secret" (two Create presses).
    void createRootAndIntermediate(const QDateTime& start, const QDateTime& end);

private:
    QLineEdit* lineEdit(const char* name) const;

    TalvaneWidget* mForm;
};

// Every file and folder under `folder`, relative path → content (folders map to "<dir>"):
// two snapshots compare equal when nothing was written, removed or changed.
QMap<QString, QByteArray> snapshot(const QString& folder);

// A small tmpfs mounted at `folder` for the life of the object, where the system lets us
// (root); `reason` says why not otherwise.
class SmallFileSystem
{
public:
    SmallFileSystem(const QString& folder, const QString& size);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return mMounted; }
    QString reason() const { return mReason; }
    bool remountReadOnly();
    // Writes one file until the file system has no room left.
    bool fill();

private:
    QString mFolder;
    bool mMounted = false;
    QString mReason;
};
