#include "maillib/messageengine.h"

#include "maillib/messagefile.h"
#include "maillib/mimetext.h"
#include "maillib/transfercodec.h"
#include "store/safewrite.h"
#include "store/streamedwrite.h"

namespace maillib {

MessageEngine::ContentPlan MessageEngine::planContent() {
  ContentPlan p;
  Entity* s = structure();
  const Frame& f = path_.back();
  if (!s) {
    p.problem = QStringLiteral("There is no part here to save.");
    return p;
  }
  p.hasPart = true;
  if (!f.bodyOf && (frameIsEnclosedMessage() || (s->isMultipart() && path_.size() > 1))) {
    // A whole enclosed message or a nested multipart is saved as it stands.
    p.whole = mimetext::toCrlf(serializeEntity(*s));
    return p;
  }
  if (!f.bodyOf && s->isMultipart()) {
    p.whole = serialize(false);
    return p;
  }
  const Entity* fields = f.part ? f.part : s;
  p.encoding = codec::fromName(
      QString::fromLatin1(mimetext::unfold(fields->value("Content-Transfer-Encoding"))));
  // BinHex is usually sent as its own content type over 7bit.
  if (p.encoding == codec::Encoding::Identity && fields->type().toLower() == "application" &&
      fields->subtype().toLower() == "mac-binhex40")
    p.encoding = codec::Encoding::BinHex;
  p.charset = mimetext::parameter(mimetext::unfold(fields->params()), "charset");
  p.leaf = s;
  return p;
}

QString MessageEngine::decodeLeaf(const ContentPlan& p, const std::function<void(QByteArrayView)>& take) {
  codec::StreamDecoder decoder(p.encoding);
  const bool readAll = p.leaf->body.readPieces([&](QByteArrayView piece) { take(decoder.step(piece)); });
  take(decoder.finish());
  QString problem = decoder.problem();
  if (!readAll && file_) {
    const QString shortRead = file_->takeProblem();
    problem = problem.isEmpty() ? shortRead : problem + QLatin1Char(' ') + shortRead;
  }
  return problem;
}

MessageEngine::Content MessageEngine::content() {
  ContentPlan p = planContent();
  Content c;
  c.problem = p.problem;
  if (!p.leaf) {
    c.bytes = std::move(p.whole);
    return c;
  }
  c.charset = p.charset;
  c.bytes.reserve(qsizetype(p.leaf->body.size()));
  c.problem = decodeLeaf(p, [&c](QByteArrayView bytes) { c.bytes.append(bytes); });
  c.bytes.squeeze();
  return c;
}

MessageEngine::Saved MessageEngine::saveContent(const QString& path) {
  ContentPlan p = planContent();
  Saved saved;
  saved.hasPart = p.hasPart;
  saved.problem = p.problem;
  if (!p.hasPart) return saved;
  store::WriteResult r;
  if (!p.leaf) {
    r = store::writeFileSafely(path, p.whole, true);
  } else {
    r = store::writeFileStreamed(path, [&](QIODevice& out) {
      QString writeError;
      saved.problem = decodeLeaf(p, [&](QByteArrayView bytes) {
        if (writeError.isEmpty() && !bytes.isEmpty() && out.write(bytes.data(), bytes.size()) != bytes.size())
          writeError = out.errorString();
      });
      return writeError;
    });
  }
  saved.written = r.ok;
  saved.writeError = r.error;
  return saved;
}

}  // namespace maillib
