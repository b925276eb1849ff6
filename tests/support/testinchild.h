#pragma once

#include <QByteArray>
#include <QString>

// A test function that needs what root cannot show (a permission that holds, a second user) runs
// itself again in a child process: the same executable and function, without root's permission
// override or as another user. The parent prepares a folder, hands it to the child, and checks
// the files the child left; the child's failures become the parent's.
namespace TestInChild
{

enum class As
{
    WithoutOverride, // root without its capabilities: permissions hold for it (PermissionOverride)
    OtherUser        // PermissionOverride::kOtherUser
};

// True inside the child.
bool inChild();
// The folder the parent prepared (the child's working folder).
QString sharedFolder();

// Why such a child cannot be started here (for QSKIP); empty when it can.
QString unavailableReason(As as);

// Runs the current test function (and its data row) of this executable in a child in `folder`.
// True when the child passed; `log` gets its output for the failure message.
bool runCurrentTest(As as, const QString& folder, QByteArray& log);

} // namespace TestInChild
