#pragma once
// The POP3 / SMTP connection of a mail control. Operations run one after
// another from a queue; each ends in exactly one Done or one AsyncError of the
// control (posted through the event loop), or, when started blocking, inside
// the call that started it with no Done. Disconnect cancels whatever is under
// way or waiting, silently, and always succeeds.
#include "maillib/linechannel.h"
#include "maillib/pop3client.h"
#include "maillib/smtpclient.h"

#include <QObject>
#include <deque>
#include <memory>
#include <optional>

class MailControl;

namespace maillib {

// "name", "name:port", "[v6]" or "[v6]:port". False when the text is not a
// server address.
bool parseHostPort(const QString& text, quint16 defaultPort, QString* host, quint16* port);

// A server setting: the address, optionally led by "pop3://", "pop3s://",
// "smtp://" or "smtps://" to choose TLS from the start on any port. Without
// one, TLS from the start is used on 995 (POP3) and 465 (SMTP).
struct ServerAddress {
  QString host;
  quint16 port = 0;
  bool implicitTls = false;
};
bool parseServerAddress(const QString& text, bool pop3, ServerAddress* out);

class NetSession : public QObject {
  Q_OBJECT
 public:
  enum class Kind { Connect, Disconnect, Delete, Retrieve, Send };

  explicit NetSession(MailControl* control);
  ~NetSession() override;

  // Starts an operation with the control's present properties.
  void start(Kind kind);

  int messageCount() const { return pop3_.messageCount(); }
  long messageSize(int n) const { return long(pop3_.messageSize(n)); }
  QString uidl(int n) const { return pop3_.uidl(n); }
  void setRetrievalPlan(const QList<int>& numbers) { pop3_.setRetrievalPlan(numbers); }

  // How long a silent server is given, in milliseconds: TOVELMAIL_TIMEOUT_MS
  // when set, else 60 seconds; tests may change it.
  static int defaultTimeout();
  static void setDefaultTimeout(int ms);

 private:
  struct Waiter;
  struct Op {
    Kind kind;
    long protocol = 1;
    bool allowPlainLogin = false;
    QString host, user, password, number, sender;
    QByteArray message;
    QStringList recipients;
    std::shared_ptr<Waiter> waiter;  // set when started blocking
  };

  void runNext();
  void execute(Op& op);
  void complete(std::optional<NetError> error);
  void cancelAll();
  bool messageIndex(const Op& op, int* n);

  MailControl* control_;
  LineChannel channel_;
  Pop3Client pop3_;
  SmtpClient smtp_;
  int connected_ = -1;  // protocol of the open session, -1 none
  std::deque<Op> queue_;
  std::optional<Op> current_;
  qint64 retrieve_total_ = 0;
  // How the connection was lost while no operation was under way (reading
  // ahead): told to the next operation instead of "not connected".
  std::optional<NetError> lost_;
};

}  // namespace maillib
