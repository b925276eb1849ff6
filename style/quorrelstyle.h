#pragma once

#include <QProxyStyle>

// The application style.
class QuorrelStyle : public QProxyStyle
{
    Q_OBJECT

public:
    QuorrelStyle();
};
