#pragma once
// GMime is initialised once per process, on first use by the message side.
namespace maillib {
void ensureGMime();
}  // namespace maillib
