#pragma once
// An icon read from its file only when a pixmap of it is first asked for.
// Setting the program's icon then costs nothing where no window manager
// ever shows it.
#include <QIcon>
#include <QSize>
#include <QString>

QIcon lazyFileIcon(const QString& path, QSize size);
