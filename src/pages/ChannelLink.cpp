#include "pages/ChannelLink.h"

#include "image/MainFields.h"
#include "image/ParamImage.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/DelayOperations.h"
#include "protocol/Equaliser.h"
#include "protocol/ParamSenders.h"

namespace kv {

namespace {

constexpr int kChannelBands = 13; ///< bands 0..12: the ten visible ones and the crossover's

/// Section types of bands 9..12 per slope, low-pass family; the high-pass family uses the
/// next code up in every non-flat section. Rows 11..13 are the single-section shapes.
constexpr std::array<std::array<int, 4>, 14> kSlopeTypes = {{{10, 10, 1, 1},
                                                             {12, 12, 1, 1},
                                                             {14, 10, 14, 10},
                                                             {18, 20, 18, 20},
                                                             {8, 1, 1, 1},
                                                             {8, 10, 1, 1},
                                                             {8, 8, 1, 1},
                                                             {12, 1, 1, 1},
                                                             {14, 10, 1, 1},
                                                             {18, 20, 1, 1},
                                                             {6, 1, 1, 1},
                                                             {1, 1, 1, 1},
                                                             {4, 1, 1, 1},
                                                             {5, 1, 1, 1}}};
constexpr int kFilterSlopes = 11;

std::array<int, 4> HighPassOf(std::array<int, 4> types) {
    for (int& t : types) {
        if (t != kFilterPeq) {
            t += 1;
        }
    }
    return types;
}

bool ValidChannel(int c) {
    return c >= 0 && c < kOutputChannels;
}

/// The single-value fields a link compares and copies, in the order they are sent.
constexpr std::array<const MainField*, 5> kLevelFields = {
    &fields::outEchoLevel, &fields::outReverbLevel, &fields::outMusicLevel, &fields::outDirectLevel,
    &fields::outEqSwitch};

constexpr std::array<const MainField*, 4> kCompressorFields = {
    &fields::outCompThreshold, &fields::outCompRatio, &fields::outCompAttack,
    &fields::outCompRelease};

bool SameSlot(const ParamImage& image, const MainField& field, int a, int b) {
    return image.Slot(field.SlotOf(a)) == image.Slot(field.SlotOf(b));
}

bool SameBand(const ParamImage& image, int a, int b, int band) {
    return image.RecordBytes(ParamImage::BandRecordIndex(a + kFirstOutputModule, band)) ==
           image.RecordBytes(ParamImage::BandRecordIndex(b + kFirstOutputModule, band));
}

} // namespace

int LinkPairOf(int channel) {
    for (std::size_t p = 0; p < kLinkPairs.size(); ++p) {
        if (kLinkPairs[p][0] == channel || kLinkPairs[p][1] == channel) {
            return static_cast<int>(p);
        }
    }
    return -1;
}

std::vector<int> GetLinkedChannels(int channel, const LinkFlags& flags) {
    if (!ValidChannel(channel)) {
        return {};
    }
    std::vector<int> channels{channel};
    const int pair = LinkPairOf(channel);
    if (pair >= 0 && flags[static_cast<std::size_t>(pair)] != 0) {
        const auto& members = kLinkPairs[static_cast<std::size_t>(pair)];
        channels.push_back(members[0] == channel ? members[1] : members[0]);
    }
    return channels;
}

bool ChannelsEqual(int a, int b) {
    if (!ValidChannel(a) || !ValidChannel(b)) {
        return false;
    }
    const ParamImage& image = GetParamImage();
    for (const MainField* field : kLevelFields) {
        if (!SameSlot(image, *field, a, b)) {
            return false;
        }
    }
    for (const MainField* field : kCompressorFields) {
        if (!SameSlot(image, *field, a, b)) {
            return false;
        }
    }
    if (!SameSlot(image, fields::outCompOff, a, b) ||
        !SameSlot(image, fields::outDelayMode, a, b) ||
        !SameSlot(image, fields::outDelayOff, a, b) || !SameSlot(image, fields::outDelay, a, b) ||
        GetDelayCrossoverIndex(a) != GetDelayCrossoverIndex(b)) {
        return false;
    }
    for (int band = 0; band < kChannelBands; ++band) {
        if (!SameBand(image, a, b, band)) {
            return false;
        }
    }
    return true;
}

void SyncChannels(int from, int to) {
    if (!ValidChannel(from) || !ValidChannel(to) || from == to) {
        return;
    }
    const ParamImage& image = GetParamImage();
    for (const MainField* field : kLevelFields) {
        if (!SameSlot(image, *field, from, to)) {
            SetParam(*field, to, image.Int(*field, from));
        }
    }
    if (!SameSlot(image, fields::outDelayMode, from, to)) {
        SetChannelDelayMode(to, image.Int(fields::outDelayMode, from));
    }
    if (!SameSlot(image, fields::outDelayOff, from, to)) {
        SetChannelDelayOff(to, image.Int(fields::outDelayOff, from));
    }
    SetDelayCrossover(to, GetDelayCrossoverIndex(from));
    if (!SameSlot(image, fields::outDelay, from, to)) {
        SetChannelDelay(to, image.Float(fields::outDelay, from));
    }
    bool compressorDiffers = false;
    for (const MainField* field : kCompressorFields) {
        compressorDiffers = compressorDiffers || !SameSlot(image, *field, from, to);
    }
    if (compressorDiffers) {
        SetCompressor(to, image.Float(fields::outCompThreshold, from),
                      image.Float(fields::outCompRatio, from),
                      image.Float(fields::outCompAttack, from),
                      image.Float(fields::outCompRelease, from));
    }
    if (!SameSlot(image, fields::outCompOff, from, to)) {
        SetParam(fields::outCompOff, to, image.Int(fields::outCompOff, from));
    }
    for (int band = 0; band < kChannelBands; ++band) {
        if (!SameBand(image, from, to, band)) {
            const EqBand b = image.ReadBand(from + kFirstOutputModule, band);
            WriteEqBand(to + kFirstOutputModule, band, b.gainDb, b.freqHz, b.q, b.type);
        }
    }
}

CrossoverSlope FindCrossoverSlope(const std::array<int, 4>& types) {
    for (int slope = 0; slope < static_cast<int>(kSlopeTypes.size()); ++slope) {
        const auto& low = kSlopeTypes[static_cast<std::size_t>(slope)];
        if (slope >= kFilterSlopes) {
            if (types == low) {
                return {slope, low[0]};
            }
            continue;
        }
        if (types == low) {
            return {slope, kFilterLowPass};
        }
        if (types == HighPassOf(low)) {
            return {slope, kFilterHighPass};
        }
    }
    return {};
}

} // namespace kv
