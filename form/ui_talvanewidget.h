#pragma once

#include <QWidget>

class Ui_TalvaneWidget
{
public:
    void setupUi(QWidget* form) { form->setObjectName("TalvaneWidget"); }
};

namespace Ui
{
class TalvaneWidget : public Ui_TalvaneWidget
{
};
} // namespace Ui
