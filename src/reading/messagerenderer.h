#pragma once
// The walk over a message's parts: what the message view shows of the
// message a mail control holds, which parts are listed as attachments, and
// which part each view line came from. No widget is involved; the window
// shows the result.
//
// Text parts (text/plain, and text/html without a file name, as text) are
// shown in order; of a multipart/alternative only the plain part is shown,
// else the HTML one; every other part, and a text part sent as a named
// attachment, is listed as an attachment.
#include "language/scriptfonts.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class MailControl;

namespace reading {

// A run of view lines from one source.
struct ViewBlock {
  enum class Kind { Headers, Text, Html };
  Kind kind = Kind::Text;
  QList<int> path;  // part indexes from the loaded message (empty: the message itself)
  QString type, subtype;  // of that entity, lower case
  QString fileName;       // the bare, safe name the entity is saved under
  QString text;           // LF line ends, ending with one
  QByteArray charset;     // label of a text part, as the message gives it
  ScriptRuns runs;        // the scripts of the text, when each text has its font
  int firstLine = 0;
  int lineCount = 0;
};

struct AttachmentEntry {
  QString name;     // bare, safe file name
  QList<int> path;  // part indexes from the loaded message
  int partIndex = 0;  // index within its container (0 for a message that is not multipart)
};

struct RenderedMessage {
  QList<ViewBlock> blocks;
  QList<AttachmentEntry> attachments;
  QStringList problems;  // damage met; the view holds what could be read

  // The view text: the blocks in order.
  QString text() const;
  int lineCount() const;
  // The block a view line belongs to, or null.
  const ViewBlock* blockAt(int line) const;
  // The text of one view line, without its line end.
  QString line(int line) const;
};

class MessageRenderer {
 public:
  // showHeaders: the header block of the entity comes first.
  MessageRenderer(MailControl& control, bool showHeaders);

  // Renders the control's current entity, which basePath names from the
  // loaded message. The control is at that entity again afterwards.
  RenderedMessage render(const QList<int>& basePath = {});

 private:
  void render_message();
  void render_parts(bool alternative);
  void render_leaf(const QString& type, const QString& subtype, int partIndex);
  void show_text_part();
  QString part_text();
  void list_attachment(int partIndex);
  void append_body_text(const QString& text);

  void startBlock(ViewBlock::Kind kind, const QString& type, const QString& subtype, int partIndex);
  bool enter(int index);
  QString nameOfPart(int partIndex) const;

  MailControl& control_;
  bool show_headers_;
  QList<int> path_;  // entity being rendered
  RenderedMessage result_;
};

}  // namespace reading
