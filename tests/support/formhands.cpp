#include "formhands.h"

#include "talvanewidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace FormTestSupport
{

TalvaneWidget* shownForm()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TalvaneWidget*>(widget); form != nullptr && form->isVisible())
            return form;
    return nullptr;
}

void typeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void typeDateTime(QDateTimeEdit* edit, const QDateTime& local)
{
    edit->setFocus(Qt::TabFocusReason);
    const auto typeSection = [edit](QDateTimeEdit::Section section, const QString& digits) {
        edit->setSelectedSection(section);
        QTest::keyClicks(edit, digits);
    };
    // The first day of a month exists in every month: the month can change safely.
    typeSection(QDateTimeEdit::DaySection, QStringLiteral("01"));
    typeSection(QDateTimeEdit::YearSection, local.toString(QStringLiteral("yyyy")));
    typeSection(QDateTimeEdit::MonthSection, local.toString(QStringLiteral("MM")));
    typeSection(QDateTimeEdit::DaySection, local.toString(QStringLiteral("dd")));
    typeSection(QDateTimeEdit::HourSection, local.toString(QStringLiteral("HH")));
    typeSection(QDateTimeEdit::MinuteSection, local.toString(QStringLiteral("mm")));
    typeSection(QDateTimeEdit::SecondSection, local.toString(QStringLiteral("ss")));
}

void typeValidity(TalvaneWidget* form, const QDateTime& start, const QDateTime& end)
{
    typeDateTime(form->mpStartValidityDateTimeEdit, start.toLocalTime());
    typeDateTime(form->mpEndValidityDateTimeEdit, end.toLocalTime());
}

void chooseType(TalvaneWidget* form, int type)
{
    QComboBox* types = form->mpCertificateTypeComboBox;
    types->setFocus(Qt::TabFocusReason);
    QTest::keyClick(types, Qt::Key_Home);
    for (int i = 0; i < type; ++i)
        QTest::keyClick(types, Qt::Key_Down);
}

void pressCreate(TalvaneWidget* form)
{
    QTest::mouseClick(form->mpCreateButton, Qt::LeftButton);
}

void fillDerived(TalvaneWidget* form, int type, const QString& issuer, const QString& issuerPassword,
                 const QString& destination)
{
    chooseType(form, type);
    typeInto(form->mpRootLineEdit, issuer);
    typeInto(form->mpRootPasswordLineEdit, issuerPassword);
    if (type == 1)
        typeInto(form->mpPathLengthLineEdit, QStringLiteral("1"));
    typeInto(form->mpDestinationNameLineEdit, destination);
    typeInto(form->mpDestinationPasswordLineEdit, QStringLiteral("destination secret"));
    typeInto(form->mpDestinationPasswordRepLineEdit, QStringLiteral("destination secret"));
    typeInto(form->mpOrganizationLineEdit, QStringLiteral(".Lab.Example"));
    typeInto(form->mpEntityLineEdit, type == 2 ? QStringLiteral(".Player") : QStringLiteral(".Authority"));
}

void createRootAndIntermediate(TalvaneWidget* form, const QDateTime& start, const QDateTime& end)
{
    chooseType(form, 0);
    typeInto(form->mpRootNameLineEdit, QStringLiteral(".Root.Example"));
    typeInto(form->mpOrganizationLineEdit, QStringLiteral(".Lab.Example"));
    typeInto(form->mpEntityLineEdit, QStringLiteral(".Authority"));
    typeInto(form->mpPathLengthLineEdit, QStringLiteral("3"));
    typeInto(form->mpDestinationNameLineEdit, QStringLiteral("root"));
    typeInto(form->mpDestinationPasswordLineEdit, QStringLiteral("destination secret"));
    typeInto(form->mpDestinationPasswordRepLineEdit, QStringLiteral("destination secret"));
    typeValidity(form, start, end);
    pressCreate(form);
    fillDerived(form, 1, QStringLiteral("root.pfx"), QStringLiteral("destination secret"),
                QStringLiteral("intermediate"));
    typeValidity(form, start, end);
    pressCreate(form);
}

bool wholeTextSelected(const QLineEdit* edit)
{
    return !edit->text().isEmpty() && edit->selectedText() == edit->text();
}

} // namespace FormTestSupport
