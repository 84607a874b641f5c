#pragma once
// The POP3 / SMTP connection of a mail control.
#include <QObject>

class MailControl;

namespace maillib {

class NetSession : public QObject {
  Q_OBJECT
 public:
  explicit NetSession(MailControl* control);
  ~NetSession() override;

 private:
  MailControl* control_;
};

}  // namespace maillib
