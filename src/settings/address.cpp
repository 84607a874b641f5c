#include "settings/address.h"

bool valid_address(const QString& text) {
  return text.indexOf(QLatin1Char('@')) > 0 && text.indexOf(QLatin1Char('.')) > 0;
}
