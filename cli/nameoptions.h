#pragma once

// The subject names a creating command takes (O, OU, CN), read and checked alike by every command.

#include "certificaterules.h"
#include "command.h"

#include <QString>
#include <QStringList>

#include <vector>

// The text of `option`, when given, into `field`; an empty text is refused unless `emptyAllowed`.
Refusal readName(const Invocation& invocation, Option option, QString& field, bool emptyAllowed = false);

// One name of a certificate as given on the command line and as it goes into the certificate.
struct NameOption
{
    Option option = Option::Entity;
    CertificateRules::NameField field = CertificateRules::NameField::Entity; // limits the typed text
    QString typed;
    QString entry;              // the subject entry made of it: a CN with its roles
    const char* entryName = ""; // "common name", "organization", "organizational unit"
    QStringList roles;          // a leaf's roles, which its entity must not give a second time
};

// In this order: the engine's limit of every entry, the window's limit of every typed text, the
// characters the checkers accept, a leaf role given twice.
Refusal checkNameOptions(const std::vector<NameOption>& names);

// --roles, or the content signer's role when not given; each known, none twice, CS alone.
Refusal readRoles(const Invocation& invocation, QStringList& roles);

// A list of roles wherever it comes from (an option, a line of a batch file), with that place in
// the sentence and the status to leave with.
Refusal checkRoleList(const QString& where, const QStringList& roles, int status);

// Names that only the user can give: the window's placeholder texts never go into a real
// certificate.
Refusal requireNames(const Invocation& invocation, const std::vector<Option>& options);
