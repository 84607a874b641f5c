#pragma once
// Small owners for GMime objects, for the message side's .cpp files only:
// this header includes GMime and must not be included from headers other
// subsystems see.
#include <gmime/gmime.h>

#include <QByteArray>
#include <utility>

namespace maillib {

// Owns one reference of a GObject. GRef(p) adopts a reference the caller
// owns (a *_new result); GRef::borrow(p) takes a new reference of an object
// someone else owns (a *_get result).
template <typename T>
class GRef {
 public:
  GRef() = default;
  explicit GRef(T* adopted) : p_(adopted) {}
  static GRef borrow(T* p) {
    if (p) g_object_ref(p);
    return GRef(p);
  }
  GRef(const GRef&) = delete;
  GRef& operator=(const GRef&) = delete;
  GRef(GRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  GRef& operator=(GRef&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }
  ~GRef() { reset(); }
  void reset() {
    if (p_) g_object_unref(p_);
    p_ = nullptr;
  }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A read-only GMime memory stream over bytes that stay owned by a
// QByteArray: nothing is copied. The QByteArray must outlive the stream and
// everything parsed from it.
class BorrowedBytes {
 public:
  explicit BorrowedBytes(const QByteArray& bytes) : bytes_(bytes) {
    array_.data = reinterpret_cast<guint8*>(const_cast<char*>(bytes_.constData()));
    array_.len = guint(bytes_.size());
    stream_ = GRef<GMimeStream>(g_mime_stream_mem_new_with_byte_array(&array_));
    g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream_.get()), FALSE);
  }
  BorrowedBytes(const BorrowedBytes&) = delete;
  BorrowedBytes& operator=(const BorrowedBytes&) = delete;
  GMimeStream* stream() const { return stream_.get(); }

 private:
  QByteArray bytes_;  // keeps the data alive
  GByteArray array_{};
  GRef<GMimeStream> stream_;
};

}  // namespace maillib
