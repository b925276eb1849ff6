#pragma once

// Values of talvane-chain's options, read and checked alike by every command that takes them.

#include "certificaterules.h"
#include "chaincommand.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

class QCommandLineParser;

using Refusal = std::optional<CommandError>;

// A plain decimal number; anything else (signs, spaces, letters) is refused.
std::optional<qint64> parseNumber(const QString& text);

// ISO 8601; without an offset the time is local, as in the window's date fields. Whole
// seconds: certificates hold no more.
std::optional<QDateTime> parseTime(const QString& text);

// A time as messages show it: ISO 8601 in UTC.
QString printed(const QDateTime& time);

// Where serial numbers come from: --serial N, --serial random, or the trace file.
struct SerialChoice
{
    enum Source
    {
        Trace,
        Given,
        Random
    };
    Source source = Trace;
    qint64 first = 0; // the number given
};
Refusal parseSerial(const QCommandLineParser& parser, SerialChoice& choice);

// Before the first key is made: the run's `count` serial numbers taken from the trace under its
// lock (into choice.first), or the given ones recorded there, never lowering it. A trace that
// cannot be read or written stops a run that takes its numbers from it; given numbers go on
// without it (said on standard error); random ones never touch it.
Refusal reserveSerials(SerialChoice& choice, qint64 count);

// The text of --option, when given; an empty text is refused unless `emptyAllowed`.
Refusal readName(const QCommandLineParser& parser, const char* option, QString& field, bool emptyAllowed);

// One name of a certificate as given on the command line and as it goes into the certificate.
struct NameOption
{
    const char* option = "";                                                 // "entity", for messages
    CertificateRules::NameField field = CertificateRules::NameField::Entity; // limits the typed text
    QString typed;
    QString entry;              // the subject entry made of it: a CN with its roles
    const char* entryName = ""; // "common name", "organization", "organizational unit"
    bool leafEntity = false;    // a leaf's entity, whose role must not be given twice
};

// In this order: the engine's limit of every entry, the window's limit of every typed text, the
// characters the checkers accept, a leaf role given twice.
Refusal checkNameOptions(const std::vector<NameOption>& names);

// A root takes its O and OU from --root-name and --organization only: the window's placeholder
// texts never go into a real root.
Refusal requireRootNames(const QCommandLineParser& parser);
