// The message engine alone, on arbitrary bytes: load, walk every entity,
// read its fields, decode its body, write the message out. Besides crashes
// it traps on two wrong results: a message that was loaded and not changed
// must be written back byte for byte, and a body decoded in pieces must
// equal the same body decoded whole.
#include <QByteArray>

#include "maillib/messageengine.h"
#include "maillib/mimetext.h"
#include "maillib/parameters.h"
#include "maillib/transfercodec.h"

namespace {

namespace mt = maillib::mimetext;
namespace codec = maillib::codec;

void readFields(const maillib::Entity* e) {
  if (!e) return;
  for (const maillib::Header& h : e->headers) (void)mt::decodeHeader(h.raw);
  (void)e->type();
  (void)e->subtype();
  // Every parameter read once: a lookup by name is a walk of the same list.
  (void)maillib::parseParameters(QString::fromUtf8(mt::unfold(e->params())));
  (void)mt::parameter(mt::splitAtFirstParameter(mt::unfold(e->value("Content-Disposition"))).second, "filename");
}

// One transfer encoding per input, chosen by the input itself: each body is
// decoded whole and in pieces, which must agree.
void decodesAlikeInPieces(codec::Encoding e, const QByteArray& body, qsizetype pieceSize) {
  pieceSize = std::max(pieceSize, body.size() / 64);  // at most 64 pieces: stays quick
  const codec::Decoded whole = codec::decode(e, body);
  codec::StreamDecoder decoder(e);
  QByteArray pieces;
  for (qsizetype at = 0; at < body.size(); at += pieceSize)
    pieces.append(decoder.step(QByteArrayView(body).sliced(at, std::min(pieceSize, body.size() - at))));
  pieces.append(decoder.finish());
  if (pieces != whole.data || decoder.problem() != whole.problem) __builtin_trap();
}

struct Walk {
  maillib::MessageEngine& engine;
  qsizetype pieceSize;
  codec::Encoding encoding;
  int budget = 100;  // entities visited, so a wide tree stays quick

  // Each entity's own fields and body once: a message's header fields at
  // the message, a container's content (itself written out whole) only at
  // the top, so the work per input stays about its size.
  void visit(int depth) {
    if (depth == 0 || engine.frameIsEnclosedMessage()) readFields(engine.message());
    readFields(engine.part());
    maillib::Entity* s = engine.structure();
    const bool leaf = s && !s->isMultipart();
    if (leaf) {
      const int lines = s->lineCount();
      if (lines > 0) (void)s->line(lines - 1);
      decodesAlikeInPieces(encoding, s->body.bytes(), pieceSize);
    }
    if (leaf || depth == 0) {
      const maillib::MessageEngine::Content c = engine.content();
      (void)mt::bytesToText(c.bytes.left(4096), c.charset);
    }
    if (depth >= 40) return;
    // Part 0 of a body is that body again: it is entered, not walked anew.
    const bool again = engine.frameIsBodyOf() || !s;
    const int parts = engine.partCount();
    for (int i = 0; i <= parts && i < 32 && --budget > 0; ++i) {  // one past the end on purpose
      if (engine.enter(i, nullptr) && !again) visit(depth + 1);
      engine.leave();
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray raw(reinterpret_cast<const char*>(data), qsizetype(size));
  maillib::MessageEngine engine;
  engine.loadBytes(raw, nullptr);
  const bool pristine = engine.isPristine();
  if (pristine && engine.serialize(false) != raw) __builtin_trap();
  (void)engine.serialize(true);
  constexpr codec::Encoding kEncodings[] = {codec::Encoding::Base64, codec::Encoding::QuotedPrintable,
                                            codec::Encoding::UUEncode};
  Walk walk{engine, 1 + qsizetype(size ? data[0] % 67 : 0), kEncodings[size > 1 ? data[1] % 3 : 0]};
  walk.visit(0);
  (void)engine.takeParseProblem();
  if (pristine && engine.serialize(false) != raw) __builtin_trap();
  // A changed message is written from its tree.
  engine.root()->set("Subject", "=?iso-8859-1?q?chang=E9?=");
  engine.touch();
  (void)engine.serialize(false);
  return 0;
}
