#include "outputfiles.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace OutputFiles
{

bool confirmOverwrite(const QString& title, const QString& fileName)
{
    QApplication::restoreOverrideCursor();

    QMessageBox box(QMessageBox::Warning, title,
                    QLatin1String("Warning: A file named ") + fileName +
                        QLatin1String(" exists. Do you want to overwrite it?"));
    QPushButton* continueButton = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
    QPushButton* cancelButton = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(continueButton);
    box.setEscapeButton(cancelButton);
    box.exec();

    if (box.clickedButton() != continueButton)
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return true;
}

} // namespace OutputFiles
