#pragma once
// A POP3 client session (RFC 1939, STLS from RFC 2595) over a LineChannel.
// Each call starts one step and ends with either its done function or the
// failure handler, never both.
#include "maillib/protocolclient.h"

#include <QVector>
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
  void retrieve(int n, std::function<void(QByteArray&)> done);
  // DELE n.
  void remove(int n, DoneFn done);
  // QUIT (the server commits deletions), then closes. Never fails.
  void quit(DoneFn done);

  bool loggedIn() const { return logged_in_; }
  int messageCount() const { return count_; }
  qint64 messageSize(int n) const;  // 0 when unknown

 private:
  void sessionLost() override;
  void afterGreeting();
  void sendUser();
  void readStat();

  DoneFn login_done_;
  QString host_, user_, password_;
  bool logged_in_ = false;
  int count_ = 0;
  QVector<qint64> sizes_;  // index n-1
};

}  // namespace maillib
