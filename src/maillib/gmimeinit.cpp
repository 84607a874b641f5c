#include "maillib/gmimeinit.h"

#include <gmime/gmime.h>

#include <mutex>

namespace maillib {

void ensureGMime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

}  // namespace maillib
