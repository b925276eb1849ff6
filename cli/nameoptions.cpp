#include "nameoptions.h"

#include "chainrules.h"
#include "refusals.h"
#include "roles.h"

namespace Rules = CertificateRules;

Refusal readName(const Invocation& invocation, Option option, QString& field, bool emptyAllowed)
{
    if (!invocation.isSet(option))
        return std::nullopt;
    field = invocation.value(option);
    if (field.isEmpty() && !emptyAllowed)
        return Refuse::emptyText(OptionText(option));
    return std::nullopt;
}

namespace
{

Refusal checkLengths(const std::vector<NameOption>& names)
{
    for (const NameOption& name : names)
        if (!Rules::fitsNameEntry(name.entry))
            return Refuse::nameEntryTooLong(QLatin1String(name.entryName), name.entry,
                                            Rules::kLongestNameEntry);
    for (const NameOption& name : names)
        if (!Rules::fitsField(name.field, name.typed))
            return Refuse::nameTextTooLong(OptionText(name.option), Rules::maxLength(name.field), name.typed);
    return std::nullopt;
}

} // namespace

Refusal checkNameOptions(const std::vector<NameOption>& names)
{
    if (auto error = checkLengths(names))
        return error;
    // The entry holds the typed text and at most the roles put in front, which always fit.
    for (const NameOption& name : names)
    {
        const Rules::PrintableFinding finding = Rules::checkPrintable(name.typed);
        if (!finding.fits())
            return Refuse::notPrintable(OptionText(name.option), finding.character);
    }
    for (const NameOption& name : names)
        if (Rules::rolesAlreadyGiven(name.roles, name.typed))
            return Refuse::roleGivenTwice(OptionText(name.option), name.typed, name.entry,
                                          name.roles.join(QLatin1Char(' ')) + QLatin1Char('.'));
    return std::nullopt;
}

Refusal readRoles(const Invocation& invocation, QStringList& roles)
{
    roles = QStringList{QLatin1String(Rules::kContentSignerRole)};
    if (!invocation.isSet(Option::Roles))
        return std::nullopt;
    roles = Rules::splitRoles(invocation.value(Option::Roles));
    return checkRoleList(OptionText(Option::Roles), roles, ExitUsage);
}

Refusal checkRoleList(const QString& where, const QStringList& roles, int status)
{
    const Rules::RolesCheck check = Rules::checkRoles(roles);
    switch (check.finding)
    {
    case Rules::RolesFinding::Valid:
        return std::nullopt;
    case Rules::RolesFinding::Empty:
        return Refuse::noRoles(where, status);
    case Rules::RolesFinding::Unknown:
        return Refuse::unknownRole(where, check.role, Rules::knownRoles(), status);
    case Rules::RolesFinding::Repeated:
        return Refuse::roleRepeated(where, check.role, status);
    case Rules::RolesFinding::SignerWithOthers:
        break;
    }
    return Refuse::signerRoleNotAlone(where, roles.join(QLatin1Char(' ')), status);
}

Refusal requireNames(const Invocation& invocation, const std::vector<Option>& options)
{
    for (const Option option : options)
        if (!invocation.isSet(option))
            return Refuse::nameMissing(OptionText(option), invocation.command().name);
    return std::nullopt;
}
