#include "talvane.h"

bool Talvane::CreateCertificate(int certComboIndex)
{
    Q_UNUSED(certComboIndex);
    return false;
}
