#pragma once
// Menus and menu items that carry the object names tests find them by.
#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace platform {

inline QMenu* addNamedMenu(QMenuBar* bar, const char* name, const char* caption) {
  QMenu* menu = bar->addMenu(QString::fromLatin1(caption));
  menu->setObjectName(QString::fromLatin1(name));
  return menu;
}

inline QAction* addNamedItem(QMenu* menu, const char* name, const char* caption) {
  QAction* action = menu->addAction(QString::fromLatin1(caption));
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

inline void addNamedSeparator(QMenu* menu, const char* name) {
  menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

}  // namespace platform
