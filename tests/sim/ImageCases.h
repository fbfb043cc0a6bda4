#pragma once

#include "image/ParamImage.h"

#include <gtest/gtest.h>

namespace kv::test {

/// Parameters the processor's store cannot carry: the last output channel's delay mode,
/// delay switch and phase (its store ends early; the exciter's records follow).
bool NotInStore(int module, int item);

/// Fills every field the read-back carries with a value of its own (different per field,
/// far from the defaults) that survives the trip through the wire encodings; the blocks get
/// patterns of their own.
void FillVaried(ParamImage& image);

/// Every read-back field of actual equals expected's, allowing for what the encodings do
/// to it (rounding of exciter values, coefficients of the dynamics times); the system,
/// extension, routing and tail blocks are equal.
void ExpectCarried(const ParamImage& expected, const ParamImage& actual);

} // namespace kv::test
