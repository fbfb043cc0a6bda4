#pragma once

#include <chrono>

/// A pause the processor needs after some reports before the next command reaches it (after
/// the acknowledgement of a relayed controller frame, for example). The writers keep it, so
/// no thread sleeps for it while reports go on being read.
namespace kv {

/// Holds the paced writes (and the controller frames) back until duration has passed from
/// now; a hold that ends later is kept.
void HoldWritesFor(std::chrono::milliseconds duration);
/// Waits until the hold has passed; returns at once when none is kept.
void AwaitWriteHold();

} // namespace kv
