#include "talvanewidget.h"

#include "certificaterules.h"
#include "certificatesettings.h"
#include "certificatetype.h"
#include "wholenumbervalidator.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <initializer_list>
#include <limits>
#include <new>

namespace
{

const char kDateTimeFormat[] = "yyyy.MM.dd HH:mm:ss";

namespace Rules = CertificateRules;

// A validator for a field that takes a whole number from `bottom` to `top`. It is a child of
// the field; null when it could not be allocated.
QIntValidator* attachRangeValidator(QLineEdit* edit, qint64 bottom, qint64 top)
{
    auto* validator = new (std::nothrow) WholeNumberValidator(edit);
    if (validator == nullptr)
        return nullptr;
    validator->setRange(int(bottom), int(top));
    edit->setValidator(validator);
    return validator;
}

// Lets the user pick a file for `edit`, starting at the file it names now. Only an accepted
// choice changes the field; the file is neither read nor checked here.
void chooseFile(QWidget* form, QLineEdit* edit, const QString& caption, QFileDialog::FileMode mode,
                const QStringList& nameFilters)
{
    form->setCursor(Qt::WaitCursor);
    QFileDialog dialog(form, caption, QString(), QString());
    dialog.setFileMode(mode);
    if (!nameFilters.isEmpty())
        dialog.setNameFilters(nameFilters); // the first one is selected
    const QFileInfo current(edit->text());
    dialog.setDirectory(current.absolutePath());
    dialog.selectFile(current.absoluteFilePath());
    form->setCursor(Qt::ArrowCursor);

    if (dialog.exec() == QDialog::Accepted)
    {
        const QStringList chosen = dialog.selectedFiles();
        if (!chosen.isEmpty())
            edit->setText(chosen.first());
    }
}

} // namespace

TalvaneWidget::TalvaneWidget(QWidget* parent, CertificateSettings* settings) : QWidget(parent)
{
    setupUi(this);
    setBackgroundRole(QPalette::Base);

    for (QFrame* frame :
         {mpTypeFrame, mpDestinationFrame, mpCaFrame, mpSubjectFrame, mpValidityFrame, mpButtonFrame})
        frame->setContentsMargins(5, 0, 5, 0);

    mpCertificateTypeComboBox->setToolTip(QStringLiteral("choose certificate type to create"));
    mpDestinationNameLineEdit->setToolTip(QStringLiteral("destination certificate file (.pem)"));
    mpCertificateNameToolButton->setToolTip(QStringLiteral("choose destination certificate file path"));
    mpDestinationPasswordLineEdit->setToolTip(QStringLiteral("destination password"));
    mpDestinationPasswordRepLineEdit->setToolTip(QStringLiteral("destination password repeat"));
    mpRootCertificateToolButton->setToolTip(QStringLiteral("choose issuing certificate file path"));
    mpRootLineEdit->setToolTip(QStringLiteral("root or intermediate certificate (.pfx)"));
    mpRootPasswordLineEdit->setToolTip(QStringLiteral("issuing certificate password"));
    mpPathLengthLineEdit->setToolTip(QStringLiteral("path length of destination certificate"));
    mpRootNameLineEdit->setToolTip(QStringLiteral("root name of destination certificate"));
    mpOrganizationLineEdit->setToolTip(QStringLiteral("organisation name of destination certificate"));
    mpEntityLineEdit->setToolTip(QStringLiteral("entity name of destination certificate"));
    mpSerialLineEdit->setToolTip(QStringLiteral("serial number of destination certificate"));
    mpAlgorithmComboBox->setToolTip(QStringLiteral("signing algorithm of destination certificate"));
    mpStartValidityDateTimeEdit->setToolTip(
        QStringLiteral("validity start date/time of destination certificate"));
    mpEndValidityDateTimeEdit->setToolTip(
        QStringLiteral("validity end date/time of destination certificate"));
    mpCreateButton->setToolTip(QStringLiteral("create destination certificates"));

    if (!init(settings))
        qFatal("Initialization of TalvaneWidget failed!");
    loadSettings();
    // The fixed size bounds win over whatever the style asks for.
    resize(sizeHint());
}

// The lists go with the members and the widgets with the QWidget base; the settings record is
// the controller's.
TalvaneWidget::~TalvaneWidget() = default;

bool TalvaneWidget::init(CertificateSettings* settings)
{
    if (settings == nullptr)
        return false;
    mpSettings = settings;

    mCertificateTypeList << tr("Self Signed Root Certificate") << tr("Intermediate Certificate")
                         << tr("Leaf Signing Certificate");
    mpCertificateTypeComboBox->addItems(mCertificateTypeList);
    // By signature: the slots are private and the meta-object is the form's contract.
    connect(mpCertificateTypeComboBox, SIGNAL(currentIndexChanged(int)), this,
            SLOT(certificateTypeChanged(int)));
    // Adding the items selected index 0 before the connection existed.
    certificateTypeChanged(mpCertificateTypeComboBox->currentIndex());

    mAlgorithmList << QStringLiteral("SHA1") << QStringLiteral("SHA256");
    mpAlgorithmComboBox->addItems(mAlgorithmList);

    bool validatorsAttached = attachRangeValidator(mpPathLengthLineEdit, Rules::kLeastAuthorityPathLength,
                                                   std::numeric_limits<int>::max()) != nullptr;
    validatorsAttached =
        attachRangeValidator(mpSerialLineEdit, Rules::kSmallestSerial, Rules::kLargestSerial) != nullptr &&
        validatorsAttached;

    mpRootNameLineEdit->setMaxLength(Rules::maxLength(Rules::NameField::RootName));
    mpOrganizationLineEdit->setMaxLength(Rules::maxLength(Rules::NameField::Organization));
    mpEntityLineEdit->setMaxLength(Rules::maxLength(Rules::NameField::Entity));

    // The validity shown at start-up comes from the clock, not from the record: the record's
    // times were taken when the controller started and the form shows them only once saved.
    const QDateTime now = QDateTime::currentDateTime();
    mpStartValidityDateTimeEdit->setDisplayFormat(QString::fromLatin1(kDateTimeFormat));
    mpStartValidityDateTimeEdit->setDateTime(now);
    mpEndValidityDateTimeEdit->setDisplayFormat(QString::fromLatin1(kDateTimeFormat));
    mpEndValidityDateTimeEdit->setDateTime(now.addYears(1));

    connect(mpCreateButton, SIGNAL(clicked()), this, SLOT(save()));
    connect(mpCertificateNameToolButton, SIGNAL(clicked()), this, SLOT(certificateNameButtonClicked()));
    connect(mpRootCertificateToolButton, SIGNAL(clicked()), this, SLOT(rootCertificateButtonClicked()));
    // Return in the repeated password compares the two passwords at once.
    connect(mpDestinationPasswordRepLineEdit, SIGNAL(returnPressed()), this,
            SLOT(checkDestinationPassword()));

    return validatorsAttached;
}

void TalvaneWidget::loadSettings()
{
    if (mpSettings == nullptr)
        return;
    mpPathLengthLineEdit->setText(QString::number(mpSettings->pathLength));
    mpRootNameLineEdit->setText(mpSettings->rootName);
    mpOrganizationLineEdit->setText(mpSettings->organizationName);
    mpEntityLineEdit->setText(mpSettings->entityName);
    mpAlgorithmComboBox->setCurrentIndex(mpSettings->signingAlgorithm);
    mpSerialLineEdit->setText(QString::number(mpSettings->serialNumber));
}

void TalvaneWidget::setSerialNumber(qint64 serialNumber)
{
    mpSerialLineEdit->setText(QString::number(serialNumber));
}

// The issuer rows are kept as typed when they are disabled, so switching back to a derived type
// finds them again; the path length and root name go back to the record's values.
// Derived types name an issuer, authorities a path length, and only a root its own O.
void TalvaneWidget::certificateTypeChanged(int index)
{
    const CertificateType type = CertificateType(index);
    if (!isKnownType(type))
        return;

    const std::initializer_list<QWidget*> issuerRows = {mpRootLabel, mpRootCertificateToolButton,
                                                        mpRootLineEdit, mpRootPasswordLabel,
                                                        mpRootPasswordLineEdit};
    for (QWidget* widget : issuerRows)
        widget->setEnabled(isDerived(type));

    const bool pathLengthEnabled = isAuthority(type);
    mpPathLengthLabel->setEnabled(pathLengthEnabled);
    mpPathLengthLineEdit->setEnabled(pathLengthEnabled);
    mpPathLengthLineEdit->setText(pathLengthEnabled ? QString::number(mpSettings->pathLength)
                                                    : tr("[end of certificate chain]"));

    const bool rootNameEnabled = type == CertificateType::Root;
    mpRootNameLabel->setEnabled(rootNameEnabled);
    mpRootNameLineEdit->setEnabled(rootNameEnabled);
    mpRootNameLineEdit->setText(rootNameEnabled ? mpSettings->rootName : tr("[taken from issuing certificate]"));
}

void TalvaneWidget::certificateNameButtonClicked()
{
    chooseFile(this, mpDestinationNameLineEdit, QStringLiteral("Certificate Name"), QFileDialog::AnyFile, {});
}

void TalvaneWidget::rootCertificateButtonClicked()
{
    chooseFile(this, mpRootLineEdit, QStringLiteral("Root Certificate Name"), QFileDialog::ExistingFile,
               {tr("PKCS12 files (*.pfx *.p12)"), tr("all files (*.*)")});
}
