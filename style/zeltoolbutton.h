#pragma once

#include <QToolButton>

// The style library's tool button: a QToolButton whose text alignment, checkable flag and
// text are designer properties, and which always paints through the style's complex-control
// path so that QuorrelStyle draws it from the button images and honours the alignment.
class ZelToolButton : public QToolButton
{
    Q_OBJECT
    Q_PROPERTY(
        Qt::Alignment alignment READ alignment WRITE setAlignment DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(bool toggle READ isCheckable WRITE setCheckable DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(QString text READ text WRITE setText DESIGNABLE true SCRIPTABLE true STORED true)

public:
    explicit ZelToolButton(QWidget* parent = nullptr);

    Qt::Alignment alignment() const { return mAlignment; }
    // Read by the style at the next paint; setting it does not repaint by itself.
    void setAlignment(Qt::Alignment alignment) { mAlignment = alignment; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Alignment mAlignment = Qt::AlignCenter;
};
