#include "reading/messagelistdelegate.h"

#include "reading/listformat.h"
#include "reading/textscripts.h"

#include <QApplication>
#include <cmath>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>

namespace reading {

namespace {

// A tab past the last stop moves on by this much, as a text layout does.
constexpr qreal kTabDistance = 80.0;
// Texts judged are kept up to this many, about a few screens of folders.
constexpr qsizetype kJudgedTexts = 20000;

const QFont& listFontOf(const QStyleOptionViewItem& option) {
  return option.widget ? option.widget->font() : option.font;
}

}  // namespace

TabStopDelegate::TabStopDelegate(QList<int> stopsInDialogUnits, QObject* parent)
    : QStyledItemDelegate(parent), stops_(std::move(stopsInDialogUnits)) {}

QList<qreal> TabStopDelegate::stopPixels(const QFont& font) const {
  const qreal unit = QFontMetricsF(font).averageCharWidth() / 4.0;
  QList<qreal> pixels;
  pixels.reserve(stops_.size());
  for (int stop : stops_)
    pixels.append(stop * unit);
  return pixels;
}

const ScriptFonts& TabStopDelegate::fontsFor(const QFont& listFont) const {
  if (!fonts_ || fonts_->base() != listFont)
    fonts_.emplace(listFont);
  return *fonts_;
}

qreal TabStopDelegate::nextStop(const QList<qreal>& stops, qreal x) const {
  for (qreal stop : stops)
    if (stop > x)
      return stop;
  return (std::floor(x / kTabDistance) + 1) * kTabDistance;
}

TextScript TabStopDelegate::judged(const QString& text) const {
  auto found = judged_.constFind(text);
  if (found != judged_.constEnd())
    return *found;
  if (judged_.size() >= kJudgedTexts)
    judged_.clear();
  const TextScript script = scriptOf(text);
  judged_.insert(text, script);
  return script;
}

QList<TabStopDelegate::Cell> TabStopDelegate::cells(const QStyleOptionViewItem& option,
                                                    const QModelIndex& index) const {
  const QVariant packed = index.data(kListCellsRole);
  if (!cell_fonts_ || !packed.isValid())
    return {};
  const ListCells layout = ListCells::unpack(packed.toUInt());
  const QString text = index.data(Qt::DisplayRole).toString();
  const ScriptFonts& fonts = fontsFor(listFontOf(option));
  const qsizetype ends[3] = {layout.senderEnd, layout.subjectEnd, text.size()};
  QList<Cell> out;
  qsizetype start = 0;
  for (int i = 0; i < 3; ++i) {
    const qsizetype end = std::clamp<qsizetype>(ends[i], start, text.size());
    QString cell = text.mid(start, end - start);
    const std::optional<TextScript>& script = layout.scripts[size_t(i)];
    const QFont& font = fonts.font(script ? *script : judged(cell));
    out.append({std::move(cell), font});
    start = std::min(end + 1, text.size());
  }
  return out;
}

QFont TabStopDelegate::cellFont(const QStyleOptionViewItem& option, const QModelIndex& index, int column) const {
  const QList<Cell> columns = cells(option, index);
  if (column >= 0 && column < columns.size())
    return columns.at(column).font;
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  return opt.font;
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QString text = opt.text;
  opt.text.clear();
  QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
  // Background, selection and focus as the style draws them, without text.
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

  const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
  QTextOption textOption(Qt::AlignLeft | Qt::AlignVCenter);
  textOption.setWrapMode(QTextOption::NoWrap);
  // The stops belong to the list: an entry in a font of its own (Unicode
  // text) still lines up with the others.
  const QList<qreal> stops = stopPixels(listFontOf(opt));
  textOption.setTabArray(stops);

  painter->save();
  const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                          : QPalette::Inactive;
  painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                               : QPalette::Text));
  painter->setClipRect(textRect);
  const QList<Cell> columns = cells(option, index);
  if (columns.isEmpty()) {
    painter->setFont(opt.font);
    painter->drawText(QRectF(textRect), text, textOption);
  } else {
    qreal x = 0;
    for (const Cell& cell : columns) {
      painter->setFont(cell.font);
      painter->drawText(QRectF(textRect).adjusted(x, 0, 0, 0), cell.text, textOption);
      x = nextStop(stops, x + QFontMetricsF(cell.font).horizontalAdvance(cell.text));
    }
  }
  painter->restore();
}

QSize TabStopDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  // The row reaches to the end of its last column, so the list scrolls
  // sideways as far as the date.
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  const QList<qreal> stops = stopPixels(option.font);
  const QList<Cell> columns = cells(option, index);
  if (!columns.isEmpty()) {
    // Every row is as tall as the tallest script needs, so rows stay alike.
    qreal x = 0, end = 0;
    for (const Cell& cell : columns) {
      end = x + QFontMetricsF(cell.font).horizontalAdvance(cell.text);
      x = nextStop(stops, end);
    }
    size.setWidth(int(end) + 8);
    size.setHeight(std::max(size.height(), fontsFor(listFontOf(option)).lineHeight() + 2));
    return size;
  }
  const QString text = index.data(Qt::DisplayRole).toString();
  const qsizetype tabs = text.count(QLatin1Char('\t'));
  const qsizetype lastTab = text.lastIndexOf(QLatin1Char('\t'));
  const qreal start = (tabs > 0 && tabs <= stops.size()) ? stops.at(tabs - 1) : 0.0;
  const QString last = text.mid(lastTab + 1);
  size.setWidth(int(start) + QFontMetrics(option.font).horizontalAdvance(last) + 8);
  return size;
}

}  // namespace reading
