#pragma once

#include <QString>
#include <QStringList>

// Tests run as root, and root passes every permission check: a folder without write permission
// stops nothing. A child process started through commandWithout() runs without that override
// (as root, through setpriv with every capability dropped), so permissions hold for it.
namespace PermissionOverride
{

// Why a child cannot be run without the override here (for QSKIP); empty when it can.
QString unavailableReason();

// The program followed by its arguments that runs `program` with `arguments` without the
// override; just the two when the tests do not run as root.
QStringList commandWithout(const QString& program, const QStringList& arguments);

// Another user than the one running the tests, for what only a second user can do (plant a link,
// own the file a sticky folder will not let others replace): "nobody" (65534), started from root.
constexpr unsigned kOtherUser = 65534;
// Why a child cannot be run as kOtherUser here (for QSKIP); empty when it can.
QString otherUserUnavailableReason();
// The program followed by its arguments that runs `program` as kOtherUser, without any privilege.
QStringList commandAsOtherUser(const QString& program, const QStringList& arguments);

} // namespace PermissionOverride
