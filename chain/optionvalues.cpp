#include "optionvalues.h"

#include "chainrules.h"
#include "commandline.h"
#include "serialnumbertrace.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace Rules = CertificateRules;

std::optional<qint64> parseNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return text.toLongLong();
}

std::optional<QDateTime> parseTime(const QString& text)
{
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(time.toSecsSinceEpoch(), Qt::UTC);
}

QString printed(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}

Refusal parseSerial(const QCommandLineParser& parser, SerialChoice& choice)
{
    const QString option = QLatin1String(ChainOption::Serial);
    if (!parser.isSet(option))
    {
        choice = {};
        return std::nullopt;
    }
    const QString value = parser.value(option);
    if (value == QLatin1String("random"))
    {
        choice = {SerialChoice::Random, 0};
        return std::nullopt;
    }
    const auto serial = parseNumber(value);
    if (!serial || !Rules::serialNumberAllowed(*serial))
        return CommandError{ExitUsage,
                            QStringLiteral("The serial number must be a whole number from %1 to %2, or "
                                           "random.")
                                .arg(Rules::kSmallestSerial)
                                .arg(Rules::kLargestSerial)};
    choice = {SerialChoice::Given, *serial};
    return std::nullopt;
}

Refusal reserveSerials(SerialChoice& choice, qint64 count)
{
    const QString trace = QFileInfo(serialNumberTracePath()).absoluteFilePath();
    if (choice.source == SerialChoice::Random)
        return std::nullopt;
    if (choice.source == SerialChoice::Given)
    {
        // The numbers were chosen: a trace that cannot take them fails nothing, but is said.
        if (!RecordGivenSerialNumbers(choice.first, count).reserved())
            std::fprintf(
                stderr, "%s\n",
                qPrintable(QStringLiteral("The serial number %1 could not be recorded in the trace file "
                                          "%2: the next run would use it again; give --serial.")
                               .arg(choice.first + count - 1)
                               .arg(trace)));
        return std::nullopt;
    }
    const SerialReservation reservation = ReserveSerialNumbers(count);
    using Finding = SerialReservation::Finding;
    switch (reservation.finding)
    {
    case Finding::Reserved:
        choice.first = reservation.first;
        return std::nullopt;
    case Finding::Unreadable:
        return CommandError{ExitFailure,
                            QStringLiteral("The trace file %1 cannot be read; give --serial.").arg(trace)};
    case Finding::NotANumber:
        return CommandError{
            ExitFailure,
            QStringLiteral("The trace file %1 does not hold a serial number; give --serial.").arg(trace)};
    case Finding::Unwritable:
        return CommandError{ExitFailure,
                            QStringLiteral("The trace file %1 cannot be written, so the serial number "
                                           "would be issued again; give --serial.")
                                .arg(trace)};
    case Finding::OutOfRange:
        break;
    }
    return CommandError{ExitFailure,
                        QStringLiteral("The next serial numbers of the trace file %1, from %2, pass "
                                       "%3; give --serial.")
                            .arg(trace)
                            .arg(reservation.last + 1)
                            .arg(Rules::kLargestSerial)};
}

Refusal readName(const QCommandLineParser& parser, const char* option, QString& field, bool emptyAllowed)
{
    const QString name = QString::fromLatin1(option);
    if (!parser.isSet(name))
        return std::nullopt;
    field = parser.value(name);
    if (field.isEmpty() && !emptyAllowed)
        return CommandError{ExitUsage, QStringLiteral("The option --%1 needs a text.").arg(name)};
    return std::nullopt;
}

namespace
{

Refusal checkLengths(const std::vector<NameOption>& names)
{
    for (const NameOption& name : names)
        if (!Rules::fitsNameEntry(name.entry))
            return CommandError{ExitUsage, QStringLiteral("The %1 \"%2\" is longer than %3 characters.")
                                               .arg(QLatin1String(name.entryName), name.entry)
                                               .arg(Rules::kLongestNameEntry)};
    for (const NameOption& name : names)
        if (!Rules::fitsField(name.field, name.typed))
            return CommandError{
                ExitUsage, QStringLiteral("The option --%1 takes at most %2 characters, as the "
                                          "window does; \"%3\" has %4.")
                               .arg(QLatin1String(name.option), QString::number(Rules::maxLength(name.field)),
                                    name.typed, QString::number(name.typed.size()))};
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
            return CommandError{ExitUsage,
                                QStringLiteral("The option --%1 has the character \"%2\" (U+%3), which "
                                               "the digital-cinema checkers reject in a name; names take "
                                               "letters A to Z and a to z, digits, space and "
                                               "' ( ) + , - . / : = ? only.")
                                    .arg(QLatin1String(name.option), QString::fromUcs4(&finding.character, 1),
                                         QStringLiteral("%1")
                                             .arg(uint(finding.character), 4, 16, QLatin1Char('0'))
                                             .toUpper())};
    }
    for (const NameOption& name : names)
        if (name.leafEntity && Rules::leafRoleAlreadyGiven(name.typed))
            return CommandError{ExitUsage,
                                QStringLiteral("The option --%1 gives the role already: \"%2\" would "
                                               "become the common name \"%3\"; give it without \"%4\".")
                                    .arg(QLatin1String(name.option), name.typed, name.entry,
                                         QLatin1String(Rules::kLeafRole))};
    return std::nullopt;
}

Refusal requireRootNames(const QCommandLineParser& parser)
{
    for (const char* option : {ChainOption::RootName, ChainOption::Organization})
        if (!parser.isSet(QLatin1String(option)))
            return CommandError{
                ExitUsage,
                QStringLiteral("A root needs --%1 and --%2: the window's placeholder "
                               "names never go into a real root.")
                    .arg(QLatin1String(ChainOption::RootName), QLatin1String(ChainOption::Organization))};
    return std::nullopt;
}
