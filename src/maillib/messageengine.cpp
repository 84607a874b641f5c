#include "maillib/messageengine.h"

namespace maillib {

MessageEngine::MessageEngine() = default;
MessageEngine::~MessageEngine() = default;

}  // namespace maillib
