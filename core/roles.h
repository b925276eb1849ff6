#pragma once

#include <QString>
#include <QStringList>

// The roles a leaf's common name starts with ("LE SPB MD FM SM.Projector-12"): which ones exist,
// how a list of them is given and checked, and how they are put in front of an entity. The window
// makes content signers only; the command line certifies devices as well.
namespace CertificateRules
{

// The role of a content signer, what signs playlists and packages.
constexpr char kContentSignerRole[] = "CS";

// The role a content signer's common name starts with, with its dot.
constexpr char kLeafRole[] = "CS.";

// The designators of the field's equipment, in the order they are usually written.
const QStringList& knownRoles();
bool isKnownRole(const QString& role);

// "LE SPB MD FM SM" as a list; runs of spaces count as one.
QStringList splitRoles(const QString& text);

enum class RolesFinding
{
    Valid,
    Empty,           // no role at all
    Unknown,         // a role not in knownRoles()
    Repeated,        // a role given twice
    SignerWithOthers // CS beside other roles: a content signer keeps exactly CS
};

struct RolesCheck
{
    RolesFinding finding = RolesFinding::Valid;
    QString role; // the one at fault, for Unknown and Repeated
    bool valid() const { return finding == RolesFinding::Valid; }
};
RolesCheck checkRoles(const QStringList& roles);

// The common name of an entity under `roles` (none for an authority): the roles joined by spaces,
// then ".", then the entity; an entity text that starts with "." brings its own.
QString commonNameWithRoles(const QStringList& roles, const QString& entity);

// The roles of a common name, the words before its first "."; and what follows that dot.
QStringList rolesOfCommonName(const QString& commonName);
QString entityOfCommonName(const QString& commonName);

// True when an entity text already starts with these roles and their dot (with or without a
// leading "."): commonNameWithRoles would put them in front a second time.
bool rolesAlreadyGiven(const QStringList& roles, const QString& entity);

// The same for a content signer ("CS.Player" would become "CS.CS.Player").
bool leafRoleAlreadyGiven(const QString& entity);

} // namespace CertificateRules
