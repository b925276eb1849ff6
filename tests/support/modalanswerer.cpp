#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

ModalAnswerer::ModalAnswerer(QStringList answers) : mAnswers(std::move(answers))
{
    connect(&mTimer, &QTimer::timeout, this, &ModalAnswerer::poll);
    mTimer.start(5);
}

ModalAnswerer::~ModalAnswerer() = default;

QStringList ModalAnswerer::texts() const
{
    QStringList all;
    for (const SeenBox& box : mBoxes)
        all << box.text;
    return all;
}

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible())
        return;
    for (const QPointer<QWidget>& seen : mHandled)
        if (seen == modal)
            return;
    mHandled.append(modal);

    if (auto* box = qobject_cast<QMessageBox*>(modal))
    {
        answer(box);
        return;
    }
    ++mOtherCount;
    if (mOtherHandler)
        mOtherHandler(modal);
    else if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
}

void ModalAnswerer::answer(QMessageBox* box)
{
    SeenBox seen;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    seen.hasParent = box->parentWidget() != nullptr;
    for (QAbstractButton* button : box->buttons())
        seen.buttons << button->text();
    if (box->defaultButton() != nullptr)
        seen.defaultButton = box->defaultButton()->text();
    if (box->escapeButton() != nullptr)
        seen.escapeButton = box->escapeButton()->text();
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != box && widget->isVisible())
            seen.visibleTopLevels << widget->objectName();
    mBoxes.append(seen);

    const QString answer = mAnswers.isEmpty() ? QString() : mAnswers.takeFirst();
    if (answer == QLatin1String("Escape"))
    {
        QTest::keyClick(box, Qt::Key_Escape);
        return;
    }
    for (QAbstractButton* button : box->buttons())
    {
        if (answer.isEmpty() ? button == box->defaultButton() : button->text() == answer)
        {
            button->click();
            return;
        }
    }
    box->close();
}
