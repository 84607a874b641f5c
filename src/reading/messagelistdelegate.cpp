#include "reading/messagelistdelegate.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>

namespace reading {

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
  textOption.setTabArray(stopPixels(opt.widget ? opt.widget->font() : opt.font));

  painter->save();
  painter->setFont(opt.font);
  const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                     : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                          : QPalette::Inactive;
  painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                               : QPalette::Text));
  painter->setClipRect(textRect);
  painter->drawText(QRectF(textRect), text, textOption);
  painter->restore();
}

QSize TabStopDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  // The row reaches to the end of its last column, so the list scrolls
  // sideways as far as the date.
  QSize size = QStyledItemDelegate::sizeHint(option, index);
  const QList<qreal> stops = stopPixels(option.font);
  const QString text = index.data(Qt::DisplayRole).toString();
  const qsizetype tabs = text.count(QLatin1Char('\t'));
  const qsizetype lastTab = text.lastIndexOf(QLatin1Char('\t'));
  const qreal start = (tabs > 0 && tabs <= stops.size()) ? stops.at(tabs - 1) : 0.0;
  const QString last = text.mid(lastTab + 1);
  size.setWidth(int(start) + QFontMetrics(option.font).horizontalAdvance(last) + 8);
  return size;
}

}  // namespace reading
