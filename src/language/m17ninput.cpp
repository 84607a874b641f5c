#include "language/m17ninput.h"

#include <m17n.h>

#include <QHash>
#include <mutex>

namespace {

const QHash<QString, QString> kLanguageNames = {{QStringLiteral("si"), QStringLiteral("sinhala")},
                                                {QStringLiteral("ta"), QStringLiteral("tamil")}};

bool m17nReady() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] {
    M17N_INIT();
    ready = merror_code == 0;  // MERROR_NONE
  });
  return ready;
}

MSymbol symbolOf(const QString& name) { return msymbol(name.toUtf8().constData()); }

QString textOf(MText* mt) {
  QString out;
  if (!mt)
    return out;
  const int length = mtext_len(mt);
  for (int i = 0; i < length; ++i) {
    const char32_t c = char32_t(mtext_ref_char(mt, i));
    out += QString::fromUcs4(&c, 1);
  }
  return out;
}

MText* mtextOf(const QString& text) {
  MText* mt = mtext();
  for (const char32_t c : text.toUcs4())
    mtext_cat_char(mt, int(c));
  return mt;
}

QString titleOf(MSymbol language, MSymbol name) {
  MPlist* titleIcon = minput_get_title_icon(language, name);
  if (!titleIcon)
    return QString();
  QString title;
  if (mplist_key(titleIcon) == Mtext)
    title = textOf(static_cast<MText*>(mplist_value(titleIcon)));
  m17n_object_unref(titleIcon);
  return title;
}

QList<M17nMethodInfo> listMethods() {
  QList<M17nMethodInfo> methods;
  if (!m17nReady())
    return methods;
  for (const char* language : {"si", "ta"}) {
    MPlist* list = minput_list(msymbol(language));
    for (MPlist* entry = list; entry && mplist_key(entry) != Mnil; entry = mplist_next(entry)) {
      if (mplist_key(entry) != Mplist)
        continue;
      // Each entry is (LANGUAGE NAME SANE).
      MPlist* fields = static_cast<MPlist*>(mplist_value(entry));
      const MSymbol lang = static_cast<MSymbol>(mplist_value(fields));
      fields = mplist_next(fields);
      const MSymbol name = static_cast<MSymbol>(mplist_value(fields));
      fields = mplist_next(fields);
      if (mplist_value(fields) != Mt)
        continue;  // a table m17n itself cannot read
      methods.append({QString::fromUtf8(msymbol_name(lang)), QString::fromUtf8(msymbol_name(name)),
                      titleOf(lang, name)});
    }
    if (list)
      m17n_object_unref(list);
  }
  return methods;
}

QString capitalised(const QString& words) {
  QStringList parts = words.split(QLatin1Char('-'), Qt::SkipEmptyParts);
  for (QString& part : parts)
    part[0] = part[0].toUpper();
  return parts.join(QLatin1Char(' '));
}

}  // namespace

// ------------------------------------------------------------- methods

QString M17nMethodInfo::key() const { return kLanguageNames.value(language, language) + QLatin1Char('-') + name; }

QString M17nMethodInfo::label() const {
  const QString words = capitalised(kLanguageNames.value(language, language)) + QLatin1Char(' ') + capitalised(name);
  return title.isEmpty() ? words : QStringLiteral("%1 (%2)").arg(words, title);
}

FontScript M17nMethodInfo::script() const {
  return language == QLatin1String("ta") ? FontScript::Tamil : FontScript::Sinhala;
}

const QList<M17nMethodInfo>& m17nMethods() {
  static const QList<M17nMethodInfo> methods = listMethods();
  return methods;
}

std::optional<M17nMethodInfo> m17nMethodNamed(const QString& key) {
  for (const M17nMethodInfo& method : m17nMethods())
    if (method.key() == key)
      return method;
  return std::nullopt;
}

// ------------------------------------------------------------- typing

struct M17nInput::Handle {
  MInputMethod* im = nullptr;
  MInputContext* ic = nullptr;
  ~Handle() {
    if (ic)
      minput_destroy_ic(ic);
    if (im)
      minput_close_im(im);
  }
};

// m17n asks for the text before the caret, and removes some of it, through
// these; the context's argument is the M17nInput it belongs to.
struct M17nCallbacks {
  static void surrounding(MInputContext* ic, MSymbol command) {
    auto* self = static_cast<M17nInput*>(ic->arg);
    if (!self)
      return;
    const int count = int(reinterpret_cast<intptr_t>(mplist_value(ic->plist)));
    if (command == Minput_get_surrounding_text) {
      // Only what lies before the caret is offered; nothing is after it.
      const QString before = count < 0 && self->textBeforeCaret ? self->textBeforeCaret(-count) : QString();
      MText* text = mtextOf(before.right(-count));
      mplist_set(ic->plist, Mtext, text);
      m17n_object_unref(text);
    } else if (command == Minput_delete_surrounding_text && count < 0 && self->deleteBeforeCaret) {
      self->deleteBeforeCaret(-count);
    }
  }
};

std::unique_ptr<M17nInput> M17nInput::open(const M17nMethodInfo& method) {
  if (!m17nReady())
    return nullptr;
  auto handle = std::make_unique<Handle>();
  handle->im = minput_open_im(symbolOf(method.language), symbolOf(method.name), nullptr);
  if (!handle->im)
    return nullptr;
  if (!handle->im->driver.callback_list)
    handle->im->driver.callback_list = mplist();
  for (MSymbol command : {Minput_get_surrounding_text, Minput_delete_surrounding_text})
    mplist_put(handle->im->driver.callback_list, command, reinterpret_cast<void*>(&M17nCallbacks::surrounding));
  std::unique_ptr<M17nInput> input(new M17nInput(method, std::move(handle)));
  input->handle_->ic = minput_create_ic(input->handle_->im, input.get());
  if (!input->handle_->ic)
    return nullptr;
  return input;
}

M17nInput::M17nInput(const M17nMethodInfo& method, std::unique_ptr<Handle> handle)
    : method_(method), handle_(std::move(handle)) {}

M17nInput::~M17nInput() = default;

void M17nInput::readPreedit() {
  preedit_ = textOf(handle_->ic->preedit);
  // m17n counts characters; the text counts UTF-16 units.
  const int chars = std::max(0, handle_->ic->cursor_pos);
  int units = 0;
  for (int c = 0; c < chars && units < preedit_.size(); ++c)
    units += preedit_[units].isHighSurrogate() ? 2 : 1;
  cursor_ = std::min(units, int(preedit_.size()));
}

M17nInput::Step M17nInput::send(const QString& key) {
  const MSymbol symbol = symbolOf(key);
  Step step;
  if (!minput_filter(handle_->ic, symbol, nullptr)) {
    MText* produced = mtext();
    step.keyUnused = minput_lookup(handle_->ic, symbol, nullptr, produced) != 0;
    step.committed = textOf(produced);
    m17n_object_unref(produced);
  }
  readPreedit();
  if (preedit_.isEmpty())
    pendingKeys_.clear();
  else if (!step.committed.isEmpty())
    pendingKeys_ = {key};
  else
    pendingKeys_.append(key);
  return step;
}

M17nInput::Step M17nInput::replayWithoutLastKey() {
  QStringList keys = pendingKeys_;
  keys.removeLast();
  minput_reset_ic(handle_->ic);
  pendingKeys_.clear();
  Step step;
  for (const QString& key : keys)
    step.committed += send(key).committed;
  readPreedit();
  return step;
}

M17nInput::Step M17nInput::feed(const QString& key) {
  if (key != QLatin1String("BackSpace") || preedit_.isEmpty())
    return send(key);
  const QStringList keysBefore = pendingKeys_;
  Step step = send(key);
  if (!step.keyUnused)
    return step;
  // The method finished the pending text rather than editing it: start from
  // the keys that made it, less the last one.
  pendingKeys_ = keysBefore;
  return replayWithoutLastKey();
}

QString M17nInput::commit() {
  const QString text = preedit_;
  reset();
  return text;
}

void M17nInput::reset() {
  minput_reset_ic(handle_->ic);
  pendingKeys_.clear();
  readPreedit();
}
