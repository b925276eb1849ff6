#pragma once

// A SoftHSM2 token of the test's own: a configuration and a token folder in a temporary folder,
// named by SOFTHSM2_CONF for this process and its children, so that no test ever sees the
// system's tokens.

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class SoftHsmToken
{
public:
    static constexpr const char* kModule = "/usr/lib/softhsm/libsofthsm2.so";

    SoftHsmToken();
    // Initialises a fresh token with this label and user PIN; false (with a printed reason) when
    // softhsm2-util is missing or refuses.
    bool initialise(const QString& label, const QString& pin);
    bool valid() const { return mFolder.isValid(); }
    QString folder() const { return mFolder.path(); }

    // Everything that the token holds, as the module's own tool lists it after logging in.
    QString listObjects(const QString& pin) const;
    // Every file under the token folder, for checking that nothing else holds a key.
    QStringList files() const;

private:
    QTemporaryDir mFolder;
};
