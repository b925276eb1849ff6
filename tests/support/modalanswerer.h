#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QMessageBox;
class QWidget;

// Answers the real modal dialogs that the code under test opens, so that tests run
// unattended. While it lives it polls for the active modal widget; each message box it finds
// is recorded (title, text, button texts, default and escape button) and answered with the
// next queued answer: a button text to click, or "Escape" to press the Escape key. With the
// queue empty it clicks the default button (or closes the box). Any other modal dialog
// (a file dialog, say) goes to the handler given with onOtherDialog, or is rejected.
class ModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct SeenBox
    {
        QString title;
        QString text;
        QStringList buttons; // in the order of the box's button list
        QString defaultButton;
        QString escapeButton;
        int icon = 0; // QMessageBox::Icon
        bool hasParent = false;
        QStringList visibleTopLevels; // other visible top-level widgets' object names, when the box opened
    };

    explicit ModalAnswerer(QStringList answers = {});
    ~ModalAnswerer() override;

    void queue(const QStringList& answers) { mAnswers.append(answers); }
    void onOtherDialog(std::function<void(QWidget*)> handler) { mOtherHandler = std::move(handler); }

    const QList<SeenBox>& boxes() const { return mBoxes; }
    QStringList texts() const;
    int dialogsHandled() const { return mOtherCount; }

private:
    void poll();
    void answer(QMessageBox* box);

    QTimer mTimer;
    QStringList mAnswers;
    QList<SeenBox> mBoxes;
    QList<QPointer<QWidget>> mHandled;
    std::function<void(QWidget*)> mOtherHandler;
    int mOtherCount = 0;
};
