#include "shell/certificatequestion.h"

#include "platform/prompter.h"

QString certificateQuestionText(const maillib::CertificateFacts& facts) {
  return QStringLiteral(
             "The certificate of the server %1 could not be verified, so nothing shows that "
             "the server is the one it claims to be.\n\n%2\n\nTrust this certificate for %1 from "
             "now on? Answer No unless the fingerprint is the one your server's administrator "
             "gave you.")
      .arg(facts.server, facts.text());
}

void installCertificateQuestion() {
  maillib::setCertificateDecider([](const maillib::CertificateFacts& facts) {
    return platform::prompter().question(certificateQuestionText(facts),
                                         QStringLiteral("Untrusted Certificate"));
  });
}
