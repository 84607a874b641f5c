// The POP3 client's mail transfer: unique ids (UIDL), RETR and DELE, sent
// ahead of their replies when the server offers PIPELINING (RFC 2449).
// Replies always come in the order the commands went out, so a DELE sent
// after a message was stored is answered only after the RETRs before it.
#include "maillib/mailcontrol.h"
#include "maillib/pop3client.h"

#include <QSet>

namespace maillib {

namespace {

// How far the read-ahead may run: messages and bytes not yet taken.
constexpr int kMaxAheadMessages = 32;
constexpr qint64 kMaxAheadBytes = 4 << 20;

// RFC 1939: one to 70 characters from 0x21 to 0x7E.
bool validUidl(const QByteArray& id) {
  if (id.isEmpty() || id.size() > 70)
    return false;
  for (const char c : id)
    if (uchar(c) < 0x21 || uchar(c) > 0x7e)
      return false;
  return true;
}

}  // namespace

QString Pop3Client::uidl(int n) const { return uidls_.value(n); }

void Pop3Client::readCapabilities() {
  // Asked again after the login: what a server offers may change with it,
  // and over STLS only what came after the handshake is trusted.
  ch_->sendLine("CAPA");
  ch_->expect(ReplyKind::Pop3Multi, [this](Reply& r) {
    if (r.ok)
      for (const QByteArray& line : r.data.split('\n'))
        if (line.trimmed().toUpper() == "PIPELINING")
          pipelining_ = true;
    readUidls();
  });
}

void Pop3Client::readUidls() {
  if (count_ == 0)
    return finishLogin();
  ch_->sendLine("UIDL");
  ch_->expect(ReplyKind::Pop3Multi, [this](Reply& r) {
    QHash<int, QString> ids;
    QSet<QString> seen;
    bool usable = r.ok;
    for (const QByteArray& raw : r.data.split('\n')) {
      if (!usable)
        break;
      const QList<QByteArray> f = raw.trimmed().split(' ');
      if (f.size() < 2)
        continue;
      const int n = f[0].toInt();
      const QString id = QString::fromLatin1(f[1]);
      // An id given twice or out of shape cannot tell messages apart: then
      // none of them is trusted.
      usable = n >= 1 && n <= count_ && validUidl(f[1]) && !seen.contains(id) && !ids.contains(n);
      ids.insert(n, id);
      seen.insert(id);
    }
    if (usable && ids.size() == count_)
      uidls_ = ids;
    finishLogin();
  });
}

void Pop3Client::finishLogin() {
  logged_in_ = true;
  DoneFn done = std::move(login_done_);
  if (done)
    done();
}

void Pop3Client::setRetrievalPlan(const QList<int>& numbers) {
  plan_.assign(numbers.cbegin(), numbers.cend());
  planned_ = true;
}

void Pop3Client::retrieve(int n, std::function<void(QByteArray&)> done) {
  if (!planned_) {
    plan_.clear();
    for (int m = n + 1; m <= count_; ++m)
      plan_.push_back(m);
  } else {
    while (!plan_.empty() && plan_.front() <= n)
      plan_.pop_front();
  }
  waiting_for_ = n;
  retrieved_ = std::move(done);
  auto ahead = read_ahead_.find(n);
  if (ahead != read_ahead_.end()) {
    ReadAhead got = std::move(*ahead);
    read_ahead_.erase(ahead);
    sendAhead();
    return deliver(n, got);
  }
  bool sent = false;
  for (const InFlight& c : in_flight_)
    sent = sent || (c.kind == InFlight::Retr && c.n == n);
  if (!sent)
    send(InFlight{InFlight::Retr, n, {}});
  sendAhead();
}

void Pop3Client::sendAhead() {
  if (!pipelining_)
    return;
  int messages = read_ahead_.size();
  qint64 bytes = 0;
  for (const ReadAhead& got : std::as_const(read_ahead_))
    bytes += got.data.size();
  for (const InFlight& c : in_flight_)
    if (c.kind == InFlight::Retr && c.n != waiting_for_) {
      ++messages;
      bytes += messageSize(c.n);
    }
  while (!plan_.empty() && messages < kMaxAheadMessages && bytes < kMaxAheadBytes) {
    const int m = plan_.front();
    plan_.pop_front();
    if (read_ahead_.contains(m))
      continue;
    send(InFlight{InFlight::Retr, m, {}});
    ++messages;
    bytes += messageSize(m);
  }
}

void Pop3Client::remove(int n, DoneFn done) { send(InFlight{InFlight::Dele, n, std::move(done)}); }

void Pop3Client::send(InFlight command) {
  ch_->sendLine((command.kind == InFlight::Retr ? "RETR " : "DELE ") + QByteArray::number(command.n));
  in_flight_.push_back(std::move(command));
  readNextReply();
}

void Pop3Client::readNextReply() {
  if (reading_ || in_flight_.empty() || !ch_->isOpen())
    return;
  reading_ = true;
  const ReplyKind kind =
      in_flight_.front().kind == InFlight::Retr ? ReplyKind::Pop3Multi : ReplyKind::Pop3Status;
  ch_->expect(kind, [this](Reply& r) {
    reading_ = false;
    onReply(r);
  });
}

void Pop3Client::onReply(Reply& r) {
  if (in_flight_.empty())
    return;
  InFlight command = std::move(in_flight_.front());
  in_flight_.pop_front();
  const bool draining = bool(quit_after_drain_);
  if (draining) {
    if (!in_flight_.empty())
      return readNextReply();
    DoneFn after = std::move(quit_after_drain_);
    quit_after_drain_ = nullptr;
    return sayGoodbye(ReplyKind::Pop3Status, std::move(after));
  }
  // The next reply is read only once this one is handled: a failure in
  // between may close the session.
  if (command.kind == InFlight::Dele) {
    if (!r.ok)
      return fail(MailControl::ErrServer,
                  QStringLiteral("The POP3 server %1 did not delete message %2.").arg(host_).arg(command.n),
                  &r, true);
    DoneFn done = std::move(command.deleted);
    readNextReply();
    if (done)
      done();
    return;
  }
  ReadAhead got{r.ok, std::move(r.data), r};
  got.reply.data.clear();
  readNextReply();
  if (command.n == waiting_for_)
    return deliver(command.n, got);
  read_ahead_.insert(command.n, std::move(got));
}

void Pop3Client::deliver(int n, ReadAhead& got) {
  waiting_for_ = 0;
  auto done = std::move(retrieved_);
  retrieved_ = nullptr;
  if (!got.ok)
    return fail(MailControl::ErrServer,
                QStringLiteral("The POP3 server %1 did not give message %2.").arg(host_).arg(n),
                &got.reply, true);
  if (done)
    done(got.data);
}

void Pop3Client::dropPipeline() {
  in_flight_.clear();
  read_ahead_.clear();
  reading_ = false;
  waiting_for_ = 0;
  retrieved_ = nullptr;
  plan_.clear();
  planned_ = false;
}

void Pop3Client::quit(DoneFn done) {
  if (in_flight_.empty() || !ch_->isOpen())
    return sayGoodbye(ReplyKind::Pop3Status, std::move(done));
  // Replies still on their way are read first, so that QUIT's answer is
  // not taken from one of them and the server commits the deletions.
  plan_.clear();
  retrieved_ = nullptr;
  waiting_for_ = 0;
  FailFn saved = fail_;
  fail_ = [this, done, saved](const NetError&) {
    fail_ = saved;
    quit_after_drain_ = nullptr;
    done();
  };
  quit_after_drain_ = [this, done, saved] {
    fail_ = saved;
    done();
  };
}

}  // namespace maillib
