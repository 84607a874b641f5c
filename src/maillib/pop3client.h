#pragma once
// A POP3 client session (RFC 1939, STLS from RFC 2595) over a LineChannel.
// Each call starts one step and ends with either its done function or the
// failure handler, never both.
#include "maillib/protocolclient.h"

#include <QHash>
#include <QVector>
#include <deque>
#include <functional>

namespace maillib {

class Pop3Client : public ProtocolClient {
  Q_OBJECT
 public:
  explicit Pop3Client(LineChannel* channel, QObject* parent = nullptr);


  // Connects, switches to TLS when offered, logs in, reads the message count
  // (STAT) and the sizes (LIST).
  void login(const QString& host, quint16 port, bool implicitTls, const QString& user,
             const QString& password, DoneFn done);
  // RETR n; the message comes back dot-unstuffed with its line ends as sent.
  // When the server offers PIPELINING, the RETR commands of the messages
  // planned next go out ahead and their replies are read while the caller
  // stores this one.
  void retrieve(int n, std::function<void(QByteArray&)> done);
  // The messages the caller will retrieve, in order. Without a plan the
  // ones after each retrieved message are expected.
  void setRetrievalPlan(const QList<int>& numbers);
  // DELE n.
  void remove(int n, DoneFn done);
  // QUIT (the server commits deletions), then closes. Never fails.
  void quit(DoneFn done);

  bool loggedIn() const { return logged_in_; }
  int messageCount() const { return count_; }
  qint64 messageSize(int n) const;  // 0 when unknown
  // The server's unique id of message n (UIDL), empty when it gave none.
  QString uidl(int n) const;
  // Every message has a unique id.
  bool hasUidls() const { return !uidls_.isEmpty(); }
  bool pipelining() const { return pipelining_; }

 private:
  void sessionLost() override;
  void afterGreeting();
  void sendUser();
  void readStat();
  void readCapabilities();
  void readUidls();
  void finishLogin();

  // Commands whose replies are still to come, in the order sent.
  struct InFlight {
    enum Kind { Retr, Dele } kind;
    int n;
    DoneFn deleted;  // Dele: the caller's done
  };
  // A RETR reply read before the caller asked for it.
  struct ReadAhead {
    bool ok = false;
    QByteArray data;
    Reply reply;
  };
  void send(InFlight command);
  void readNextReply();
  void onReply(Reply& r);
  void deliver(int n, ReadAhead& got);
  void sendAhead();
  void dropPipeline();

  std::deque<InFlight> in_flight_;
  QHash<int, ReadAhead> read_ahead_;
  bool reading_ = false;
  int waiting_for_ = 0;  // the message the caller waits for, 0 none
  std::function<void(QByteArray&)> retrieved_;
  std::deque<int> plan_;
  bool planned_ = false;
  DoneFn quit_after_drain_;
  QHash<int, QString> uidls_;
  bool pipelining_ = false;

  DoneFn login_done_;
  QString host_, user_, password_;
  bool logged_in_ = false;
  int count_ = 0;
  QVector<qint64> sizes_;  // index n-1
};

}  // namespace maillib
