#pragma once

/// Registers the output, delay and compressor pages with the view.
namespace kv {

void RegisterOutputPages();

} // namespace kv
