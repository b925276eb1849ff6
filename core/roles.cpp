#include "roles.h"

#include <QLatin1String>

namespace CertificateRules
{

const QStringList& knownRoles()
{
    // Content signer, security manager, screen management system, secure processing block, media
    // decryptor, link encryptor and decryptor, forensic marker, projector.
    static const QStringList roles = {QStringLiteral("CS"),  QStringLiteral("SM"), QStringLiteral("SMS"),
                                      QStringLiteral("SPB"), QStringLiteral("MD"), QStringLiteral("LE"),
                                      QStringLiteral("LD"),  QStringLiteral("FM"), QStringLiteral("PR")};
    return roles;
}

bool isKnownRole(const QString& role)
{
    return knownRoles().contains(role);
}

QStringList splitRoles(const QString& text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

RolesCheck checkRoles(const QStringList& roles)
{
    if (roles.isEmpty())
        return {RolesFinding::Empty, QString()};
    for (qsizetype i = 0; i < roles.size(); ++i)
    {
        if (!isKnownRole(roles.at(i)))
            return {RolesFinding::Unknown, roles.at(i)};
        if (roles.indexOf(roles.at(i)) != i)
            return {RolesFinding::Repeated, roles.at(i)};
    }
    if (roles.size() > 1 && roles.contains(QLatin1String(kContentSignerRole)))
        return {RolesFinding::SignerWithOthers, QLatin1String(kContentSignerRole)};
    return {};
}

QString commonNameWithRoles(const QStringList& roles, const QString& entity)
{
    const QString name = entity.startsWith(QLatin1Char('.')) ? entity : QLatin1Char('.') + entity;
    return roles.join(QLatin1Char(' ')) + name;
}

QStringList rolesOfCommonName(const QString& commonName)
{
    const qsizetype dot = commonName.indexOf(QLatin1Char('.'));
    return dot < 0 ? QStringList() : splitRoles(commonName.left(dot));
}

QString entityOfCommonName(const QString& commonName)
{
    const qsizetype dot = commonName.indexOf(QLatin1Char('.'));
    return dot < 0 ? commonName : commonName.mid(dot + 1);
}

bool rolesAlreadyGiven(const QStringList& roles, const QString& entity)
{
    if (roles.isEmpty())
        return false;
    const QString withoutDot = entity.startsWith(QLatin1Char('.')) ? entity.mid(1) : entity;
    return withoutDot.startsWith(roles.join(QLatin1Char(' ')) + QLatin1Char('.'));
}

bool leafRoleAlreadyGiven(const QString& entity)
{
    return rolesAlreadyGiven({QLatin1String(kContentSignerRole)}, entity);
}

} // namespace CertificateRules
