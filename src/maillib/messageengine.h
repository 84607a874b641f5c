#pragma once
// The current message of a mail control and the entity path into it.
namespace maillib {

class MessageEngine {
 public:
  MessageEngine();
  ~MessageEngine();
};

}  // namespace maillib
