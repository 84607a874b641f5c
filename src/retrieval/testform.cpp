#include "retrieval/testform.h"

#include "retrieval/errortext.h"
#include "platform/prompter.h"
#include "platform/twips.h"
#include "settings/settingsstore.h"

using platform::msgBox;

testform::testform(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("testform"));
  setWindowTitle(QStringLiteral("Message Delete Service"));
  setAttribute(Qt::WA_DeleteOnClose, false);

  Mail1 = new MailControl(this);
  Mail1->setObjectName(QStringLiteral("Mail1"));

  auto button = [this](const char* name, const char* caption, bool enabled) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setEnabled(enabled);
    return b;
  };
  connect = button("connect", "Read Message Sizes", true);
  discon = button("discon", "Disconnect", false);
  delmsg = button("delmsg", "Delete This", false);
  msglist1 = new QComboBox(this);
  msglist1->setObjectName(QStringLiteral("msglist1"));

  using platform::twipsToPixels;
  msglist1->setGeometry(twipsToPixels(240), twipsToPixels(240), twipsToPixels(3600), twipsToPixels(315));
  connect->setGeometry(twipsToPixels(240), twipsToPixels(840), twipsToPixels(1800), twipsToPixels(375));
  delmsg->setGeometry(twipsToPixels(2160), twipsToPixels(840), twipsToPixels(1680), twipsToPixels(375));
  discon->setGeometry(twipsToPixels(240), twipsToPixels(1320), twipsToPixels(1800), twipsToPixels(375));
  setFixedSize(twipsToPixels(4140), twipsToPixels(1920));

  QObject::connect(connect, &QPushButton::clicked, this, &testform::connect_Click);
  QObject::connect(discon, &QPushButton::clicked, this, &testform::discon_Click);
  QObject::connect(delmsg, &QPushButton::clicked, this, &testform::delmsg_Click);
  QObject::connect(Mail1, &MailControl::Done, this, &testform::Mail1_Done);
  QObject::connect(Mail1, &MailControl::AsyncError, this, &testform::Mail1_AsyncError);

  Form_Load();
}

void testform::Form_Load() {
  Mail1->setHost(settings().pop_host);
  Mail1->setUserName(settings().pop_user);
  Mail1->setPassword(settings().pop_password);
  Mail1->setAllowPlainLogin(settings().allow_plain_login);
  Mail1->setDebugMode(0);
}

void testform::connect_Click() {
  // Settings changed since the window opened apply to the next connection.
  Form_Load();
  state_word = QStringLiteral("StateConnecting");
  Mail1->setActionCode(3);
  connect->setEnabled(false);
  discon->setEnabled(true);
}

void testform::delmsg_Click() {
  const int i = msglist1->currentIndex();
  if (i < 0) {
    msgBox(QStringLiteral("No message selected"));
    return;
  }
  if (msglist1->itemData(i).toInt() > 0) {
    state_word = QStringLiteral("StateDeleting");
    Mail1->setMessageNumber(QString::number(i + 1));
    pending_delete_ = i;
    Mail1->setActionCode(10);
    msglist1->setItemData(i, -1);
  } else {
    msgBox(QStringLiteral("Already deleted"));
  }
}

void testform::discon_Click() {
  state_word = QStringLiteral("StateDisconnected");
  Mail1->setActionCode(8);
  msglist1->clear();
  pending_delete_ = -1;
  connect->setEnabled(true);
  discon->setEnabled(false);
}

void testform::Mail1_Done() {
  if (state_word == QLatin1String("StateConnecting")) {
    state_word = QStringLiteral("StateGetting EMail");
    const int count = Mail1->MessageCount();
    for (int n = 1; n <= count; ++n) {
      const long size = Mail1->MessageSize(n);
      msglist1->addItem(QStringLiteral("Mail %1 Size %2").arg(n).arg(size), 1);
    }
    msgBox(QStringLiteral("%1 Messages").arg(count));
    delmsg->setEnabled(true);
  } else if (state_word == QLatin1String("StateDeleting")) {
    pending_delete_ = -1;
    msgBox(QStringLiteral("Deleted"));
  } else if (state_word == QLatin1String("StateDisconnected")) {
    msgBox(QStringLiteral("Disconnected"));
  }
}

void testform::Mail1_AsyncError(int code, const QString& message) {
  msgBox(asyncErrorText(code, message));
  if (state_word == QLatin1String("StateConnecting")) {
    // Nothing is connected: offer Read Message Sizes again.
    state_word.clear();
    connect->setEnabled(true);
    discon->setEnabled(false);
  } else if (state_word == QLatin1String("StateDeleting")) {
    // The message is still on the server; its line may be deleted again.
    if (pending_delete_ >= 0 && pending_delete_ < msglist1->count())
      msglist1->setItemData(pending_delete_, 1);
    pending_delete_ = -1;
  }
}
