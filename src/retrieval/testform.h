#pragma once
// "Message Delete Service": a small window with its own POP3 connection that
// lists the messages waiting on the server with their sizes and deletes the
// chosen ones there without fetching them.
#include <QComboBox>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include "maillib/mailcontrol.h"

class testform : public QWidget {
  Q_OBJECT
 public:
  explicit testform(QWidget* parent = nullptr);

  // The window's state word: which operation Mail1_Done is waiting for.
  inline static QString state_word;

  // ----- controls
  MailControl* Mail1 = nullptr;
  QPushButton* connect = nullptr;
  QPushButton* discon = nullptr;
  QPushButton* delmsg = nullptr;
  QComboBox* msglist1 = nullptr;

  // ----- handlers
  void Form_Load();
  void connect_Click();
  void delmsg_Click();
  void discon_Click();
  void Mail1_Done();
  void Mail1_AsyncError(int code, const QString& message);

 private:
  int pending_delete_ = -1;  // line whose deletion is under way
};
