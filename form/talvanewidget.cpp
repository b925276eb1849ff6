#include "talvanewidget.h"

#include "certificatesettings.h"

TalvaneWidget::TalvaneWidget(QWidget* parent, CertificateSettings* settings) : QWidget(parent)
{
    setupUi(this);
    init(settings);
    loadSettings();
}

TalvaneWidget::~TalvaneWidget() = default;

void TalvaneWidget::setSerialNumber(qint64) {}
void TalvaneWidget::certificateTypeChanged(int) {}
void TalvaneWidget::certificateNameButtonClicked() {}
void TalvaneWidget::rootCertificateButtonClicked() {}
bool TalvaneWidget::checkConsistency() { return false; }
bool TalvaneWidget::checkDestinationPassword(QString*) { return false; }
bool TalvaneWidget::checkPathlen(QString*) { return false; }
bool TalvaneWidget::checkValidity(QString*) { return false; }
bool TalvaneWidget::readIssuerRoot(QString*) { return false; }
void TalvaneWidget::save() {}

bool TalvaneWidget::init(CertificateSettings* settings)
{
    mpSettings = settings;
    return settings != nullptr;
}

void TalvaneWidget::loadSettings() {}
