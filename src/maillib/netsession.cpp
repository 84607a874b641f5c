#include "maillib/netsession.h"

#include "maillib/mailcontrol.h"

#include <QEventLoop>
#include <QPointer>

namespace maillib {

namespace {
int g_timeout_ms = -1;
}

struct NetSession::Waiter {
  bool finished = false;
  std::optional<NetError> error;
  QEventLoop loop;
};

int NetSession::defaultTimeout() {
  if (g_timeout_ms < 0) {
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("TOVELMAIL_TIMEOUT_MS", &ok);
    g_timeout_ms = ok && fromEnv > 0 ? fromEnv : 60000;
  }
  return g_timeout_ms;
}

void NetSession::setDefaultTimeout(int ms) { g_timeout_ms = ms; }

bool parseHostPort(const QString& text, quint16 defaultPort, QString* host, quint16* port) {
  const QString t = text.trimmed();
  QString name = t;
  QString portText;
  if (t.startsWith(QLatin1Char('['))) {
    const int close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
      return false;
    name = t.mid(1, close - 1);
    const QString rest = t.mid(close + 1);
    if (!rest.isEmpty()) {
      if (!rest.startsWith(QLatin1Char(':')))
        return false;
      portText = rest.mid(1);
    }
  } else if (t.count(QLatin1Char(':')) == 1) {
    const int colon = t.indexOf(QLatin1Char(':'));
    name = t.left(colon);
    portText = t.mid(colon + 1);
  }
  if (name.isEmpty() || name.contains(QLatin1Char(' ')))
    return false;
  quint16 p = defaultPort;
  if (!portText.isNull()) {
    bool ok = false;
    const uint v = portText.toUInt(&ok);
    if (!ok || v == 0 || v > 65535)
      return false;
    p = quint16(v);
  }
  *host = name;
  *port = p;
  return true;
}

bool parseServerAddress(const QString& text, bool pop3, ServerAddress* out) {
  QString rest = text.trimmed();
  std::optional<bool> tls;
  const int scheme = rest.indexOf(QStringLiteral("://"));
  if (scheme >= 0) {
    const QString name = rest.left(scheme).toLower();
    if (pop3 && (name == QLatin1String("pop3s") || name == QLatin1String("pops")))
      tls = true;
    else if (pop3 && (name == QLatin1String("pop3") || name == QLatin1String("pop")))
      tls = false;
    else if (!pop3 && name == QLatin1String("smtps"))
      tls = true;
    else if (!pop3 && name == QLatin1String("smtp"))
      tls = false;
    else
      return false;
    rest = rest.mid(scheme + 3);
    if (rest.endsWith(QLatin1Char('/')))
      rest.chop(1);
  }
  const quint16 plainPort = pop3 ? 110 : 25;
  const quint16 tlsPort = pop3 ? 995 : 465;
  if (!parseHostPort(rest, tls.value_or(false) ? tlsPort : plainPort, &out->host, &out->port))
    return false;
  out->implicitTls = tls.value_or(out->port == tlsPort);
  return true;
}

NetSession::NetSession(MailControl* control)
    : QObject(nullptr), control_(control), pop3_(&channel_), smtp_(&channel_) {
  channel_.setTranscript([this](const QString& line) {
    if (control_->DebugMode() == 1)
      Q_EMIT control_->Debug(line);
  });
  auto onFailure = [this](const NetError& e) {
    if (!channel_.isOpen())
      connected_ = -1;
    if (!current_ && connected_ == -1)
      lost_ = e;
    complete(e);
  };
  pop3_.setFailureHandler(onFailure);
  smtp_.setFailureHandler(onFailure);
  pop3_.setActive(false);
  smtp_.setActive(false);
  connect(&channel_, &LineChannel::dataRead, this, [this](qint64 done) {
    if (current_ && current_->kind == Kind::Retrieve)
      Q_EMIT control_->Progress(done, qMax(done, retrieve_total_));
  });
  connect(&channel_, &LineChannel::written, this, [this](qint64 done, qint64 total) {
    if (current_ && current_->kind == Kind::Send)
      Q_EMIT control_->Progress(done, total);
  });
}

NetSession::~NetSession() {
  cancelAll();
  channel_.close();
}

void NetSession::start(Kind kind) {
  Op op;
  op.kind = kind;
  op.protocol = control_->Protocol();
  op.allowPlainLogin = control_->allowPlainLogin();
  op.host = control_->Host();
  op.user = control_->UserName();
  op.password = control_->Password();
  op.number = control_->MessageNumber();
  op.sender = control_->Sender();
  if (kind == Kind::Send) {
    op.message = control_->messageBytes(true);
    op.recipients = control_->recipientAddresses();
  }
  std::shared_ptr<Waiter> waiter;
  if (control_->Blocking()) {
    waiter = std::make_shared<Waiter>();
    op.waiter = waiter;
  }

  if (kind == Kind::Disconnect) {
    // Whatever was under way or waiting is dropped without a word.
    cancelAll();
    queue_.push_front(std::move(op));
  } else {
    queue_.push_back(std::move(op));
  }
  if (!current_)
    runNext();

  if (!waiter)
    return;
  QPointer<MailControl> alive(control_);
  while (!waiter->finished)
    waiter->loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (alive && waiter->error)
    control_->reportError(waiter->error->code, waiter->error->text());
}

void NetSession::cancelAll() {
  auto release = [](Op& op) {
    if (op.waiter) {
      op.waiter->finished = true;
      op.waiter->loop.quit();
    }
  };
  if (current_) {
    release(*current_);
    current_.reset();
    // The protocol state of an interrupted exchange is unknown: start over.
    channel_.close();
    connected_ = -1;
  }
  for (Op& op : queue_)
    release(op);
  queue_.clear();
}

void NetSession::runNext() {
  while (!current_ && !queue_.empty()) {
    current_ = std::move(queue_.front());
    queue_.pop_front();
    execute(*current_);
  }
}

void NetSession::complete(std::optional<NetError> error) {
  if (!current_)
    return;
  Op op = std::move(*current_);
  current_.reset();
  if (op.waiter) {
    op.waiter->finished = true;
    op.waiter->error = error;
    op.waiter->loop.quit();
  } else {
    QPointer<MailControl> control(control_);
    QMetaObject::invokeMethod(
        control_,
        [control, error] {
          if (!control)
            return;
          if (error)
            control->reportError(error->code, error->text());
          else
            Q_EMIT control->Done();
        },
        Qt::QueuedConnection);
  }
  // The next operation starts from the event loop, not from inside the
  // handler of the reply that ended this one.
  if (!queue_.empty())
    QMetaObject::invokeMethod(this, &NetSession::runNext, Qt::QueuedConnection);
}

bool NetSession::messageIndex(const Op& op, int* n) {
  bool ok = false;
  const int value = op.number.trimmed().toInt(&ok);
  if (!ok || value < 1) {
    complete(NetError{MailControl::ErrState,
                      QStringLiteral("\"%1\" is not a message number.").arg(op.number), {}});
    return false;
  }
  if (value > pop3_.messageCount()) {
    complete(NetError{MailControl::ErrState,
                      QStringLiteral("There is no message %1 on the server; it holds %2.")
                          .arg(value)
                          .arg(pop3_.messageCount()),
                      {}});
    return false;
  }
  *n = value;
  return true;
}

void NetSession::execute(Op& op) {
  channel_.setTimeout(defaultTimeout());
  if (op.kind == Kind::Connect || op.kind == Kind::Disconnect)
    lost_.reset();
  switch (op.kind) {
    case Kind::Connect: {
      if (channel_.isOpen() || connected_ != -1) {
        channel_.close();
        connected_ = -1;
      }
      const bool pop = op.protocol != 0;
      if (op.host.trimmed().isEmpty())
        return complete(NetError{MailControl::ErrConnect,
                                 pop ? QStringLiteral("No POP3 server is set.")
                                     : QStringLiteral("No SMTP server is set."),
                                 {}});
      ServerAddress server;
      if (!parseServerAddress(op.host, pop, &server))
        return complete(NetError{MailControl::ErrConnect,
                                 QStringLiteral("\"%1\" is not a server address.").arg(op.host),
                                 {}});
      pop3_.setActive(pop);
      smtp_.setActive(!pop);
      pop3_.setAllowPlainLogin(op.allowPlainLogin);
      smtp_.setAllowPlainLogin(op.allowPlainLogin);
      if (pop) {
        pop3_.login(server.host, server.port, server.implicitTls, op.user, op.password, [this] {
          connected_ = 1;
          control_->message_count_ = pop3_.messageCount();
          complete(std::nullopt);
        });
      } else {
        smtp_.open(server.host, server.port, server.implicitTls, op.user, op.password, [this] {
          connected_ = 0;
          complete(std::nullopt);
        });
      }
      return;
    }
    case Kind::Disconnect: {
      auto done = [this] {
        connected_ = -1;
        complete(std::nullopt);
      };
      if (connected_ == 1)
        pop3_.quit(done);
      else if (connected_ == 0)
        smtp_.quit(done);
      else {
        channel_.close();
        done();
      }
      return;
    }
    case Kind::Retrieve:
    case Kind::Delete: {
      if (connected_ != 1 || !pop3_.loggedIn())
        return complete(lost_.value_or(NetError{MailControl::ErrState,
                                                QStringLiteral("Not connected to a POP3 server."), {}}));
      int n = 0;
      if (!messageIndex(op, &n))
        return;
      if (op.kind == Kind::Delete)
        return pop3_.remove(n, [this] { complete(std::nullopt); });
      retrieve_total_ = pop3_.messageSize(n);
      pop3_.retrieve(n, [this](QByteArray& data) {
        // A message read ahead brought no progress of its own.
        Q_EMIT control_->Progress(data.size(), data.size());
        if (!control_->loadMessageBytes(data))
          return complete(NetError{MailControl::ErrParse,
                                   QStringLiteral("The message from the server could not be read."),
                                   {}});
        complete(std::nullopt);
      });
      return;
    }
    case Kind::Send: {
      if (connected_ != 0 || !smtp_.ready())
        return complete(NetError{MailControl::ErrState,
                                 QStringLiteral("Not connected to an SMTP server."), {}});
      const QString from = bareAddress(op.sender);
      if (from.isEmpty())
        return complete(
            NetError{MailControl::ErrState, QStringLiteral("No sender address is set."), {}});
      QStringList rcpts;
      for (const QString& entry : op.recipients)
        for (const QString& a : splitAddressList(entry))
          if (!rcpts.contains(a, Qt::CaseInsensitive))
            rcpts << a;
      smtp_.send(from, rcpts, op.message, [this] { complete(std::nullopt); });
      return;
    }
  }
}

}  // namespace maillib
