#pragma once

#include "image/ParamImage.h"

#include <array>
#include <cstdint>
#include <vector>

/// Linked output channels: pairs whose equaliser, levels, delay and compressor edits apply to
/// both channels, and the copy of one channel onto its partner when a link is made. Plain
/// standard C++ over the process-wide parameter image and the protocol's setters.
namespace kv {

/// The linkable pairs (lower channel, upper channel) in option-record order: CH1+CH2,
/// CH3+CH4, CH7+CH8. CH5 and CH6 are never linked.
inline constexpr std::array<std::array<int, 2>, 3> kLinkPairs = {{{0, 1}, {2, 3}, {6, 7}}};

/// The link flags as the option record holds them in its bytes 0, 1 and 2 (1 = linked).
using LinkFlags = std::array<std::uint8_t, 3>;

/// The pair (index into kLinkPairs) a channel belongs to, or -1 for CH5, CH6 and invalid
/// channels.
int LinkPairOf(int channel);
/// The channels an edit of `channel` applies to: the channel itself, then its partner when
/// their pair is linked. Empty for a channel outside 0..7.
std::vector<int> GetLinkedChannels(int channel, const LinkFlags& flags);

/// True when the two channels hold the same levels, equaliser switch, delay mode, switch,
/// crossover and time, compressor settings and equaliser bands 0..12.
bool ChannelsEqual(int a, int b);
/// Copies channel `from` onto channel `to`, storing and sending only what differs (the delay
/// crossover is always rewritten).
void SyncChannels(int from, int to);

/// What the types of the crossover band 9 and its sections 10..12 amount to.
struct CrossoverSlope {
    int slope = 0;  ///< 0..10 the slope combo's items; 11 flat, 12 low shelf, 13 high shelf
    int family = 0; ///< 2 low-pass, 3 high-pass, 1 peaking, 4/5 shelves, 0 when nothing matched
};
/// Looks the section types of bands 9..12 up in the crossover table.
CrossoverSlope FindCrossoverSlope(const std::array<int, 4>& types);

} // namespace kv
