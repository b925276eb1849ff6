#include "certificaterules.h"

#include "roles.h"

#include <QTime>

namespace CertificateRules
{

namespace
{

struct FieldLimit
{
    NameField field;
    int maxLength;
};

// The maximum lengths of the window's name fields.
constexpr FieldLimit kFieldLimits[] = {
    {NameField::RootName, 64},
    {NameField::Organization, 32},
    {NameField::Entity, 64},
};

struct RequiredName
{
    NameField field;
    bool rootOnly; // a derived certificate takes it from its issuer
};

// In the window's order.
constexpr RequiredName kRequiredNames[] = {
    {NameField::RootName, true},
    {NameField::Organization, false},
    {NameField::Entity, false},
};

const QString& textOf(const SubjectTexts& texts, NameField field)
{
    switch (field)
    {
    case NameField::RootName:
        return texts.rootName;
    case NameField::Organization:
        return texts.organization;
    case NameField::Entity:
        break;
    }
    return texts.entity;
}

QDateTime wholeSecondsUtc(const QDateTime& time)
{
    QDateTime utc = time.toUTC();
    utc.setTime(QTime(utc.time().hour(), utc.time().minute(), utc.time().second()));
    return utc;
}

} // namespace

PathLengthFit pathLengthUnderIssuer(qint64 requested, qint64 issuerPathLength)
{
    if (requested < issuerPathLength)
        return PathLengthFit::Fits;
    return issuerSignsNothing(issuerPathLength) ? PathLengthFit::IssuerSignsNothing : PathLengthFit::TooLong;
}

ValidityFit validityInsideIssuer(const QDateTime& start, const QDateTime& end, const QDateTime& issuerStart,
                                 const QDateTime& issuerEnd)
{
    ValidityFit fit;
    fit.startTooEarly = wholeSecondsUtc(start) < issuerStart;
    fit.endTooLate = wholeSecondsUtc(end) > issuerEnd;
    return fit;
}

PeriodFinding checkPeriod(const QDateTime& start, const QDateTime& end, const QDateTime& now)
{
    if (!(start < end))
        return PeriodFinding::EndNotAfterStart;
    if (!(now < end))
        return PeriodFinding::EndPassed;
    return PeriodFinding::Valid;
}

int maxLength(NameField field)
{
    for (const FieldLimit& limit : kFieldLimits)
        if (limit.field == field)
            return limit.maxLength;
    return 0;
}

bool fitsField(NameField field, const QString& text)
{
    return text.size() <= maxLength(field);
}

QByteArray engineText(const QString& name)
{
    return name.toLatin1();
}

bool fitsNameEntry(const QString& entry)
{
    return engineText(entry).size() <= kLongestNameEntry;
}

QString EntityNameWithRoles(const QString& entity, bool leaf)
{
    return commonNameWithRoles(leaf ? QStringList{QLatin1String(kContentSignerRole)} : QStringList(), entity);
}

QList<NameField> missingNames(CertificateType type, const SubjectTexts& texts)
{
    QList<NameField> missing;
    if (!isKnownType(type))
        return missing;
    for (const RequiredName& name : kRequiredNames)
        if ((type == CertificateType::Root || !name.rootOnly) && textOf(texts, name.field).isEmpty())
            missing.append(name.field);
    return missing;
}

EntityFit entityFitsCommonName(const QString& entity, bool leaf)
{
    const QString commonName = EntityNameWithRoles(entity, leaf);
    EntityFit fit;
    fit.fits = fitsNameEntry(commonName);
    fit.room = kLongestNameEntry - int(commonName.size() - entity.size());
    return fit;
}

} // namespace CertificateRules
