#include "reading/messagerenderer.h"

#include "maillib/charsets.h"
#include "maillib/mailcontrol.h"
#include "maillib/parameters.h"
#include "reading/attachmentname.h"
#include "reading/partrules.h"

#include <algorithm>

namespace reading {

// ----- the result

QString RenderedMessage::text() const {
  qsizetype size = 0;
  for (const ViewBlock& b : blocks)
    size += b.text.size();
  QString out;
  out.reserve(size);
  for (const ViewBlock& b : blocks)
    out += b.text;
  return out;
}

int RenderedMessage::lineCount() const { return blocks.isEmpty() ? 0 : blocks.back().firstLine + blocks.back().lineCount; }

const ViewBlock* RenderedMessage::blockAt(int line) const {
  auto after = std::upper_bound(blocks.begin(), blocks.end(), line,
                                [](int l, const ViewBlock& b) { return l < b.firstLine; });
  if (after == blocks.begin())
    return nullptr;
  const ViewBlock& b = *(after - 1);
  return line < b.firstLine + b.lineCount ? &b : nullptr;
}

QString RenderedMessage::line(int line) const {
  const ViewBlock* b = blockAt(line);
  if (!b)
    return {};
  qsizetype start = 0;
  for (int k = b->firstLine; k < line; ++k)
    start = b->text.indexOf(QLatin1Char('\n'), start) + 1;
  const qsizetype end = b->text.indexOf(QLatin1Char('\n'), start);
  return b->text.mid(start, end < 0 ? -1 : end - start);
}

// ----- the walk

MessageRenderer::MessageRenderer(MailControl& control, bool showHeaders)
    : control_(control), show_headers_(showHeaders) {}

RenderedMessage MessageRenderer::render(const QList<int>& basePath) {
  result_ = RenderedMessage();
  path_ = basePath;
  render_message();
  int line = 0;
  for (ViewBlock& b : result_.blocks) {
    b.text = viewLineBreaks(std::move(b.text));
    b.firstLine = line;
    b.lineCount = int(b.text.count(QLatin1Char('\n')));
    line += b.lineCount;
  }
  return std::move(result_);
}

void MessageRenderer::render_message() {
  const QString type = control_.ContentType().toLower();
  const QString subtype = control_.ContentSubType().toLower();
  if (show_headers_) {
    startBlock(ViewBlock::Kind::Headers, type, subtype, 0);
    append_body_text(control_.HeaderText());
  }
  if (control_.PartCount() == 0) {
    render_leaf(type, subtype, 0);
    return;
  }
  render_parts(subtype == QLatin1String("alternative"));
}

bool MessageRenderer::enter(int index) {
  QString why;
  if (control_.enterPart(index, &why))
    return true;
  result_.problems.append(why);
  control_.leavePart();  // a failed enter still wants its leave
  return false;
}

void MessageRenderer::render_parts(bool alternative) {
  const int count = control_.PartCount();
  // Of the alternatives only one is shown: the plain text one, else the
  // HTML one.
  int chosen = -1;
  if (alternative) {
    int html = -1;
    for (int i = 0; i < count && chosen < 0; ++i) {
      if (!enter(i))
        continue;
      const QString type = control_.ContentType().toLower();
      const QString subtype = control_.ContentSubType().toLower();
      if (type == QLatin1String("text") && subtype == QLatin1String("plain"))
        chosen = i;
      else if (html < 0 && type == QLatin1String("text") && subtype == QLatin1String("html"))
        html = i;
      control_.leavePart();
    }
    if (chosen < 0)
      chosen = html;
  }
  for (int i = 0; i < count; ++i) {
    if (chosen >= 0 && i != chosen)
      continue;
    if (!enter(i))
      continue;
    path_.append(i);
    const QString type = control_.ContentType().toLower();
    const QString subtype = control_.ContentSubType().toLower();
    if (type == QLatin1String("multipart") && control_.PartCount() > 0)
      render_parts(subtype == QLatin1String("alternative"));
    else
      render_leaf(type, subtype, i);
    path_.removeLast();
    control_.leavePart();
  }
}

void MessageRenderer::render_leaf(const QString& type, const QString& subtype, int partIndex) {
  const bool text = type == QLatin1String("text");
  const bool named = !attachmentName(control_.ContentDisposition(), control_.ContentParameters()).isNull();
  if (text && subtype == QLatin1String("plain")) {
    startBlock(ViewBlock::Kind::Text, type, subtype, partIndex);
    show_text_part();
    // A text file sent as an attachment can also be saved.
    if (named && control_.ContentDisposition().trimmed().toLower().startsWith(QLatin1String("attachment")))
      list_attachment(partIndex);
    return;
  }
  if (text && subtype == QLatin1String("html") && !named) {
    startBlock(ViewBlock::Kind::Html, type, subtype, partIndex);
    append_body_text(htmlToText(part_text()));
    return;
  }
  list_attachment(partIndex);
}

QString MessageRenderer::part_text() {
  if (isDecodedEncoding(control_.TransferEncoding())) {
    QString why;
    const QString text = control_.partText(&why);
    if (!why.isEmpty())
      result_.problems.append(why);
    return text;
  }
  QString text = control_.storedBodyText();
  text.chop(2);  // the lines joined, no line end after the last
  return text;
}

void MessageRenderer::show_text_part() {
  if (isDecodedEncoding(control_.TransferEncoding())) {
    append_body_text(part_text());
    return;
  }
  // Stored lines go in as they are, each with its line end.
  result_.blocks.back().text += control_.storedBodyText();
}

void MessageRenderer::list_attachment(int partIndex) {
  result_.attachments.append(AttachmentEntry{nameOfPart(partIndex), path_, partIndex});
}

void MessageRenderer::append_body_text(const QString& text) {
  QString& block = result_.blocks.back().text;
  block += text;
  block += QLatin1String("\r\n");
}

void MessageRenderer::startBlock(ViewBlock::Kind kind, const QString& type, const QString& subtype, int partIndex) {
  ViewBlock b;
  b.kind = kind;
  b.path = path_;
  b.type = type;
  b.subtype = subtype;
  b.fileName = nameOfPart(partIndex);
  if (kind != ViewBlock::Kind::Headers)
    b.charset = maillib::parameterValue(control_.ContentParameters(), QStringLiteral("charset")).toLatin1();
  // Text in a charset not known here is read byte for byte; the reader is
  // told why it may look wrong.
  if (!maillib::charsets::isKnown(b.charset))
    result_.problems.append(
        QStringLiteral("A text of this message is in the charset \"%1\", which is not known here; it is shown "
                       "byte for byte.")
            .arg(QString::fromLatin1(b.charset)));
  result_.blocks.append(b);
}

QString MessageRenderer::nameOfPart(int partIndex) const {
  QString name = attachmentName(control_.ContentDisposition(), control_.ContentParameters());
  // A part without a name still reaches the user as a file.
  if (name.isNull())
    name = generatedPartName(control_.ContentType(), control_.ContentSubType(), partIndex + 1);
  return safeFileName(name);
}

}  // namespace reading
