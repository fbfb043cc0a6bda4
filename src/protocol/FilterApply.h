#pragma once

#include "protocol/FilterImport.h"

namespace kv {

class ParamImage;

/// The equaliser of a kind as the importer sees it, read from the image: its band records,
/// and for an output channel its role and gain.
ImportTarget ImportTargetFromImage(const ParamImage& image, int kind);

/// Stores the plan's changed bands and gain in the image only (a mode file being edited).
void StorePlan(ParamImage& image, const ImportPlan& plan);

/// Writes the plan's changed bands and gain through the normal write path: each band record
/// stored and sent with its coefficients, the gain stored and sent.
void SendPlan(const ImportPlan& plan);

} // namespace kv
