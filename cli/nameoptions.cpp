#include "nameoptions.h"

#include "chainrules.h"
#include "refusals.h"

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
        if (name.leafEntity && Rules::leafRoleAlreadyGiven(name.typed))
            return Refuse::roleGivenTwice(OptionText(name.option), name.typed, name.entry,
                                          QLatin1String(Rules::kLeafRole));
    return std::nullopt;
}

Refusal requireNames(const Invocation& invocation, const std::vector<Option>& options)
{
    for (const Option option : options)
        if (!invocation.isSet(option))
            return Refuse::nameMissing(OptionText(option), invocation.command().name);
    return std::nullopt;
}
