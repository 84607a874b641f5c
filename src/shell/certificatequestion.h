#pragma once
// The question put to the user when a server's certificate cannot be
// verified: its facts, and whether to trust it for that server from now on.
#include "maillib/certificatetrust.h"

// The text of the question.
QString certificateQuestionText(const maillib::CertificateFacts& facts);

// Makes every mail connection of the program ask through the prompter.
void installCertificateQuestion();
