#include "quorrelstyle.h"

#include <QStyleFactory>

QuorrelStyle::QuorrelStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Windows"))) {}
