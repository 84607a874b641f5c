#include "support/scriptedpeer.h"

#include <cctype>

ScriptedPeer::ScriptedPeer() {
  server_.listen(QHostAddress::LocalHost, 0);
  connect(&server_, &QTcpServer::newConnection, this, &ScriptedPeer::onConnection);
}

void ScriptedPeer::on(const QByteArray& command, const QByteArray& reply, After after) {
  rules_[command.toUpper()] = Rule{reply, after, false, {}};
}

void ScriptedPeer::onData(const QByteArray& command, const QByteArray& reply,
                          const QByteArray& afterData) {
  rules_[command.toUpper()] = Rule{reply, Stay, true, afterData};
}

QByteArray ScriptedPeer::dotStuff(const QByteArray& message) {
  QByteArray out;
  for (QByteArray line : message.split('\n')) {
    if (line.endsWith('\r'))
      line.chop(1);
    if (line.startsWith('.'))
      out += '.';
    out += line + "\r\n";
  }
  if (message.endsWith('\n'))
    out.chop(2);
  return out + ".\r\n";
}

void ScriptedPeer::servePop3(const QList<QByteArray>& messages) {
  greeting = "+OK scripted POP3 ready\r\n";
  on("CAPA", "+OK\r\nUSER\r\n.\r\n");
  on("USER", "+OK\r\n");
  on("PASS", "+OK logged in\r\n");
  qint64 total = 0;
  QByteArray list = "+OK\r\n";
  for (int i = 0; i < messages.size(); ++i) {
    total += messages[i].size();
    list += QByteArray::number(i + 1) + ' ' + QByteArray::number(messages[i].size()) + "\r\n";
    on("RETR " + QByteArray::number(i + 1), "+OK message follows\r\n" + dotStuff(messages[i]));
    on("DELE " + QByteArray::number(i + 1), "+OK deleted\r\n");
  }
  on("STAT", "+OK " + QByteArray::number(messages.size()) + ' ' + QByteArray::number(total) + "\r\n");
  on("LIST", list + ".\r\n");
  on("QUIT", "+OK bye\r\n", Close);
}

void ScriptedPeer::serveSmtp(const QByteArray& ehlo) {
  greeting = "220 scripted ESMTP\r\n";
  unknownReply = "500 5.5.1 unknown\r\n";
  on("EHLO", ehlo);
  on("MAIL FROM", "250 2.1.0 Ok\r\n");
  on("RCPT TO", "250 2.1.5 Ok\r\n");
  onData("DATA", "354 go ahead\r\n", "250 2.0.0 queued\r\n");
  on("RSET", "250 Ok\r\n");
  on("QUIT", "221 bye\r\n", Close);
}

void ScriptedPeer::cutRetr(int n, int bytes) {
  const QByteArray key = "RETR " + QByteArray::number(n);
  Rule& rule = rules_[key];
  const qsizetype header = rule.reply.indexOf("\r\n") + 2;
  rule.reply = rule.reply.left(header + bytes);
  rule.after = Close;
}

void ScriptedPeer::onConnection() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    ++connections;
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QObject::destroyed, this, [this, socket] {
      buffers_.remove(socket);
      inData_.remove(socket);
      pendingAfterData_.remove(socket);
    });
    if (!greeting.isEmpty())
      socket->write(greeting);
  }
}

void ScriptedPeer::onReadyRead(QTcpSocket* socket) {
  QByteArray& buffer = buffers_[socket];
  buffer += socket->readAll();
  while (true) {
    if (inData_.value(socket)) {
      const qsizetype end = buffer.startsWith(".\r\n") ? 0 : buffer.indexOf("\r\n.\r\n");
      if (end < 0)
        return;
      const qsizetype blockEnd = end == 0 ? 0 : end + 2;
      dataBlocks << buffer.left(blockEnd);
      buffer.remove(0, blockEnd + 3);
      inData_[socket] = false;
      socket->write(pendingAfterData_.take(socket));
      continue;
    }
    const qsizetype nl = buffer.indexOf("\r\n");
    if (nl < 0)
      return;
    const QByteArray line = buffer.left(nl);
    buffer.remove(0, nl + 2);
    commands << line;
    if (onCommand)
      onCommand(line);
    const QByteArray upper = line.toUpper();
    const Rule* best = nullptr;
    qsizetype bestLength = -1;
    for (auto it = rules_.constBegin(); it != rules_.constEnd(); ++it) {
      if (upper.startsWith(it.key()) && it.key().size() > bestLength &&
          (upper.size() == it.key().size() || !std::isdigit(uchar(upper[it.key().size()])))) {
        best = &it.value();
        bestLength = it.key().size();
      }
    }
    if (!best) {
      socket->write(unknownReply);
      continue;
    }
    if (best->after == Silence)
      return;
    socket->write(best->reply);
    if (best->data) {
      inData_[socket] = true;
      pendingAfterData_[socket] = best->afterData;
    }
    if (best->after == Close) {
      socket->flush();
      socket->disconnectFromHost();
      return;
    }
  }
}
