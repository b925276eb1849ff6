#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Every file and folder under `folder`, relative path → content (folders map to "<dir>"):
// two snapshots compare equal when nothing was written, removed or changed.
QMap<QString, QByteArray> folderSnapshot(const QString& folder);
