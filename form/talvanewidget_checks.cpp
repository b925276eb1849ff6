// The form's checks on Create and the hand-over of the accepted input to the controller.

#include "talvanewidget.h"

#include "certificaterules.h"
#include "certificatesettings.h"
#include "certificatetype.h"
#include "diagnosticsink.h"
#include "issuingcertificate.h"
#include "outputnames.h"
#include "secret.h"
#include "validitylog.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <utility>

namespace
{

namespace Rules = CertificateRules;

const char kIssuerMissing[] =
    "Issuing certificate does not exist. Error reading .pfx file!\nPlease check file path!";
const char kIssuerUnreadable[] = "Error reading .pfx file!\nPlease check file/password!";
const char kIssuerPathLengthZero[] =
    "You cannot create a derived certificate.\n Issuing Certificate has a Path Length of 0!";

void focusAndSelect(QLineEdit* edit)
{
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

// The focus first: a date-time edit that gains it selects only its first section.
void focusAndSelect(QDateTimeEdit* edit)
{
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

QString dateFormatError(const char* which, const QString& printed)
{
    return QStringLiteral("Error reading date format!\n") + QLatin1String(which) +
           QStringLiteral(" Date in cert is: \"") + printed +
           QStringLiteral("\"\nFormat expected: MMM d HH:mm:ss yyyy GMT\n");
}

CertificateType typeOf(const QComboBox* types)
{
    return CertificateType(types->currentIndex());
}

} // namespace

void TalvaneWidget::showWarning(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, tr("Warning"), text, QMessageBox::NoButton, this);
    box.setDefaultButton(box.addButton(tr("OK"), QMessageBox::AcceptRole));
    box.setEscapeButton(nullptr);
    box.exec();
}

bool TalvaneWidget::report(bool passed, const QString& message, QString* pErrorMsg)
{
    if (pErrorMsg != nullptr)
        pErrorMsg->append(message);
    else if (!passed)
        showWarning(message);
    return passed;
}

bool TalvaneWidget::loadIssuer(IssuingCertificate& issuer, QString& message)
{
    IssuerReading reading = ReadIssuingCertificate(mpRootLineEdit->text(), Secret(mpRootPasswordLineEdit->text()));
    switch (reading.outcome)
    {
    case IssuerReading::Missing:
        message = QString::fromLatin1(kIssuerMissing);
        focusAndSelect(mpRootLineEdit);
        return false;
    case IssuerReading::Unreadable:
        message = QString::fromLatin1(kIssuerUnreadable);
        focusAndSelect(mpRootPasswordLineEdit);
        return false;
    case IssuerReading::Read:
        break;
    }
    issuer = std::move(reading.certificate);
    return true;
}

bool TalvaneWidget::readIssuerRoot(QString* pErrorMsg)
{
    IssuingCertificate issuer;
    QString message;
    const bool passed = loadIssuer(issuer, message);
    return report(passed, message, pErrorMsg);
}

bool TalvaneWidget::checkPathlen(QString* pErrorMsg)
{
    QString message;
    IssuingCertificate issuer;
    if (!loadIssuer(issuer, message))
        return report(false, message, pErrorMsg);

    // A leaf asks for nothing below it, whatever its disabled field shows after an earlier
    // issuer; an intermediate's empty field reads as 0.
    const long requested =
        typeOf(mpCertificateTypeComboBox) == CertificateType::Leaf ? 0 : mpPathLengthLineEdit->text().toLong();
    switch (Rules::pathLengthUnderIssuer(requested, issuer.pathLength))
    {
    case Rules::PathLengthFit::Fits:
        return report(true, QString(), pErrorMsg);
    case Rules::PathLengthFit::TooLong: // only an intermediate: a leaf asks for 0
        message = QStringLiteral("The entered path length is too long!\nA valid path length is lower than ") +
                  QString::number(issuer.pathLength) + QStringLiteral(".\n") +
                  QStringLiteral("Path length field will be set to the maximum.");
        mpPathLengthLineEdit->setText(QString::number(Rules::largestPathLengthUnder(issuer.pathLength)));
        break;
    case Rules::PathLengthFit::IssuerSignsNothing:
        message = QString::fromLatin1(kIssuerPathLengthZero);
        mpPathLengthLineEdit->setText(QString::number(issuer.pathLength));
        break;
    }
    // A leaf's field is disabled: it shows the issuer's value but cannot take the focus.
    if (typeOf(mpCertificateTypeComboBox) != CertificateType::Leaf)
        focusAndSelect(mpPathLengthLineEdit);
    return report(false, message, pErrorMsg);
}

bool TalvaneWidget::issuerDatesReadable(const IssuingCertificate& issuer, QString& message)
{
    bool readable = true;
    if (!issuer.start.isValid())
    {
        const QString error = dateFormatError("Start", issuer.printedStart);
        PrintDiagnostic(error.toLocal8Bit().constData());
        message += error;
        ValidityLog::append(error);
        readable = false;
    }
    if (!issuer.end.isValid())
    {
        const QString error = dateFormatError("End", issuer.printedEnd);
        PrintDiagnostic(error.toLocal8Bit().constData());
        message += error;
        // One record per check: the start date's failure already names the certificate.
        if (readable)
            ValidityLog::append(error);
        readable = false;
    }
    return readable;
}

bool TalvaneWidget::correctIntoIssuerPeriod(const IssuingCertificate& issuer, QString& message)
{
    const Rules::ValidityFit fit =
        Rules::validityInsideIssuer(mpStartValidityDateTimeEdit->dateTime(), mpEndValidityDateTimeEdit->dateTime(),
                                    issuer.start, issuer.end);
    if (fit.startTooEarly)
    {
        const QDateTime earliest = issuer.start.toLocalTime();
        message += QStringLiteral("The entered validity start date is wrong!\nMust be equal or later than ") +
                   earliest.toString(Qt::TextDate) + QStringLiteral(".\n") +
                   QStringLiteral("Start validity field will be set to the earliest possible date and time.");
        mpStartValidityDateTimeEdit->setDateTime(earliest);
        focusAndSelect(mpStartValidityDateTimeEdit);
    }
    if (fit.endTooLate)
    {
        const QDateTime latest = issuer.end.toLocalTime();
        message += QStringLiteral("The entered validity end date is wrong!\nMust be equal or ealier than ") +
                   latest.toString(Qt::TextDate) + QStringLiteral(".\n") +
                   QStringLiteral("End validity field will be set to the latest possible date and time.");
        mpEndValidityDateTimeEdit->setDateTime(latest);
        focusAndSelect(mpEndValidityDateTimeEdit);
    }
    return fit.fits();
}

bool TalvaneWidget::checkValidity(QString* pErrorMsg)
{
    QString message;
    IssuingCertificate issuer;
    bool result = loadIssuer(issuer, message) && issuerDatesReadable(issuer, message);
    if (result)
        result = correctIntoIssuerPeriod(issuer, message);
    return report(result, message, pErrorMsg);
}

bool TalvaneWidget::checkDestinationPassword(QString* pErrorMsg)
{
    if (mpDestinationPasswordLineEdit->text() == mpDestinationPasswordRepLineEdit->text())
        return true;
    const QString message = tr("The entered passwords do not match!");
    if (pErrorMsg != nullptr)
    {
        pErrorMsg->append(message);
        return false;
    }
    // Only on its own (Return in the repeat field) does the check send the user back there.
    showWarning(message);
    focusAndSelect(mpDestinationPasswordRepLineEdit);
    return false;
}

bool TalvaneWidget::checkTypeFields(QString& errors)
{
    const CertificateType type = typeOf(mpCertificateTypeComboBox);
    if (isAuthority(type))
    {
        if (!Rules::authorityPathLengthAllowed(mpPathLengthLineEdit->text().toInt()))
        {
            errors += type == CertificateType::Root
                          ? QStringLiteral("Invalid path length for root certificate!\n"
                                           "Please choose path length larger than 0.\n")
                          : QStringLiteral("Invalid path length for intermediate certificate!\n"
                                           "Please choose path length larger than 0 or create a leaf "
                                           "certificate.\n");
            mpPathLengthLineEdit->setText(QString::number(Rules::kLeastAuthorityPathLength));
            focusAndSelect(mpPathLengthLineEdit);
            return false;
        }
    }
    if (isDerived(type))
        return checkIssuerFields(errors);
    return true;
}

bool TalvaneWidget::checkIssuerFields(QString& errors)
{
    if (mpRootLineEdit->text().isEmpty())
    {
        errors += QStringLiteral("Please choose file name for Issuing Certificate!\n");
        return false;
    }
    if (mpRootPasswordLineEdit->text().isEmpty())
    {
        errors += QStringLiteral("Please enter password for Issuing Certificate!\n");
        return false;
    }
    // Each check reads the issuing file again: a file or password changed since the last press
    // counts at once.
    return readIssuerRoot(&errors) && checkPathlen(&errors) && checkValidity(&errors) &&
           checkDestinationSparesIssuer(errors);
}

bool TalvaneWidget::checkDestinationSparesIssuer(QString& errors)
{
    // An empty destination is reported by the destination checks that follow.
    const QString destination = mpDestinationNameLineEdit->text();
    if (destination.isEmpty() || !OutputFiles::overwrites(destination, mpRootLineEdit->text()))
        return true;
    errors += QStringLiteral("The destination certificate would overwrite its issuing certificate!\n"
                             "Please choose another file name for the destination certificate.\n");
    focusAndSelect(mpDestinationNameLineEdit);
    return false;
}

bool TalvaneWidget::checkDestinationFields(QString& errors)
{
    if (mpDestinationNameLineEdit->text().isEmpty())
    {
        errors += QStringLiteral("Please choose file name for Destination Certificate!\n");
        mpDestinationNameLineEdit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (mpDestinationPasswordLineEdit->text().isEmpty())
    {
        errors += QStringLiteral("Please enter password for Destination Certificate!\n");
        mpDestinationPasswordLineEdit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    // The validator keeps typed serials in range, but an empty field, 0, or a number the
    // controller offers after a trace file that has grown past the range would make a
    // certificate with a serial of 0 or a negative one.
    bool isNumber = false;
    const qint64 serial = mpSerialLineEdit->text().toLongLong(&isNumber);
    if (!isNumber || !Rules::serialNumberAllowed(serial))
    {
        errors += QStringLiteral("Invalid serial number!\nPlease choose a serial number between %1 and %2.\n")
                      .arg(Rules::kSmallestSerial)
                      .arg(Rules::kLargestSerial);
        focusAndSelect(mpSerialLineEdit);
        return false;
    }
    return true;
}

bool TalvaneWidget::checkNameFields(QString& errors)
{
    const CertificateType type = typeOf(mpCertificateTypeComboBox);
    // Indexed by Rules::NameField.
    const std::pair<const QLabel*, QLineEdit*> rows[] = {{mpRootNameLabel, mpRootNameLineEdit},
                                                         {mpOrganizationLabel, mpOrganizationLineEdit},
                                                         {mpEntityLabel, mpEntityLineEdit}};
    const QList<Rules::NameField> missing = Rules::missingNames(
        type, {mpRootNameLineEdit->text(), mpOrganizationLineEdit->text(), mpEntityLineEdit->text()});
    for (const Rules::NameField field : missing)
        errors += QStringLiteral("Please enter ") + rows[int(field)].first->text() + QStringLiteral("!\n");
    if (!missing.isEmpty())
    {
        rows[int(missing.first())].second->setFocus(Qt::OtherFocusReason);
        return false;
    }

    const Rules::EntityFit fit =
        Rules::entityFitsCommonName(mpEntityLineEdit->text(), type == CertificateType::Leaf);
    if (!fit.fits)
    {
        errors +=
            QStringLiteral("The entity name is too long!\nPlease use at most %1 characters.\n").arg(fit.room);
        focusAndSelect(mpEntityLineEdit);
        return false;
    }
    return true;
}

bool TalvaneWidget::checkConsistency()
{
    QString errors;
    bool ok = checkDestinationPassword(&errors);
    ok = ok && checkTypeFields(errors);
    ok = ok && checkDestinationFields(errors);
    ok = ok && checkNameFields(errors);

    const QDateTime start = mpStartValidityDateTimeEdit->dateTime().toUTC();
    const QDateTime end = mpEndValidityDateTimeEdit->dateTime().toUTC();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (ok && Rules::checkPeriod(start, end, now) == Rules::PeriodFinding::Valid)
        return true;
    if (ok)
        errors += QStringLiteral("Invalid validity period for the certificate!\n");
    showWarning(errors);
    return false;
}

void TalvaneWidget::save()
{
    if (!checkConsistency())
        return;

    const CertificateType type = typeOf(mpCertificateTypeComboBox);
    const QString entityName =
        Rules::EntityNameWithRoles(mpEntityLineEdit->text(), type == CertificateType::Leaf);
    if (mpSettings == nullptr)
        return;

    CertificateSettings& settings = *mpSettings;
    switch (type)
    {
    case CertificateType::Root:
        settings.issuerFileName.clear();
        settings.issuerPassword.clear();
        settings.ca = true;
        settings.pathLength = static_cast<int>(mpPathLengthLineEdit->text().toLongLong());
        settings.rootName = mpRootNameLineEdit->text();
        break;
    case CertificateType::Intermediate:
        settings.issuerFileName = mpRootLineEdit->text();
        settings.issuerPassword = mpRootPasswordLineEdit->text();
        settings.ca = true;
        settings.pathLength = static_cast<int>(mpPathLengthLineEdit->text().toLongLong());
        break;
    case CertificateType::Leaf:
        settings.issuerFileName = mpRootLineEdit->text();
        settings.issuerPassword = mpRootPasswordLineEdit->text();
        settings.ca = false;
        settings.pathLength = 0;
        break;
    default: // no type chosen: only the common fields
        break;
    }

    settings.destinationFileName = mpDestinationNameLineEdit->text();
    settings.destinationPassword = mpDestinationPasswordLineEdit->text();
    settings.organizationName = mpOrganizationLineEdit->text();
    settings.entityName = entityName;
    settings.serialNumber = mpSerialLineEdit->text().toLongLong();
    settings.signingAlgorithm = mpAlgorithmComboBox->currentIndex();
    settings.validityStart = mpStartValidityDateTimeEdit->dateTime().toUTC();
    settings.validityEnd = mpEndValidityDateTimeEdit->dateTime().toUTC();

    emit CreateCertificatePressed(int(type));
}
