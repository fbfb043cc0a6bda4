#include "protocol/Equaliser.h"

#include "image/Encodings.h"
#include "image/EqBand.h"
#include "image/ParamImage.h"
#include "link/DebugLog.h"
#include "protocol/CoefficientEncoders.h"
#include "protocol/CommandSink.h"
#include "protocol/ParamSenders.h"

#include <algorithm>
#include <array>

namespace kv {

namespace {

constexpr int kMicGroup = 1;
constexpr int kEchoGroup = 2;
constexpr int kReverbGroup = 3;
constexpr int kMusicGroup = 4;
constexpr int kFirstOutputGroup = 5;
constexpr int kLastOutputGroup = 12;
constexpr int kMusicBassGroup = 14;
constexpr int kOutputEqBands = 13; ///< bands 13 and 14 belong to the delay crossover
constexpr int kSubwooferRole = 4;
constexpr int kFirstOutputKind = 7;

constexpr std::array<int, 10> kTenBandFreqs = {31,   62,   125,  250,  500,
                                               1000, 2000, 4000, 8000, 16000};
constexpr std::array<int, 7> kEffectFreqs = {63, 125, 250, 500, 1000, 2300, 5000};
constexpr int kSubCrossoverHz = 100;

// Band record byte layout.
constexpr std::size_t kRecordType = 6;
constexpr std::uint8_t kFlatGainCode[2] = {0x00, 150};

/// Bands per group (group 0 and 13 stand for group 1).
int GroupBands(int group) {
    switch (group) {
    case 0:
    case kMicGroup:
    case 13:
        return 20;
    case kEchoGroup:
    case kReverbGroup:
        return 14;
    case kMusicGroup:
        return 10;
    case kMusicBassGroup:
        return 1;
    default:
        return group >= kFirstOutputGroup && group <= kLastOutputGroup ? 15 : 0;
    }
}

bool IsMusicOrMicKind(int kind) {
    return kind == 0 || kind == 1 || kind == 6;
}
bool IsOutputKind(int kind) {
    return kind >= kFirstOutputKind && kind < kEqKinds;
}

/// Writes the record's stored bytes into the processor's store and sends its biquad, read
/// back from the record in double precision. The record is not re-encoded.
void SendStoredBand(int group, int band) {
    ParamImage& image = GetParamImage();
    const int record = ParamImage::BandRecordIndex(group, band);
    const auto bytes = image.RecordBytes(record);
    CommandSink().WriteStore(static_cast<int>(kBandRecordSize) * record, bytes);
    SendEqBand(group, band);
}

void ResetBands(int group, int firstBand, std::span<const int> freqs) {
    for (std::size_t i = 0; i < freqs.size(); ++i) {
        WriteEqBand(group, firstBand + static_cast<int>(i), 0.0, freqs[i], kQReset, kFilterPeq);
    }
}

void ResetOutput(int channel) {
    const int group = kFirstOutputGroup + channel;
    if (GetParamImage().Int(fields::outRole, channel) != kSubwooferRole) {
        ResetBands(group, 0, kTenBandFreqs);
        const std::array<int, 3> top = {16000, 16000, 16000};
        ResetBands(group, 10, top);
        return;
    }
    ResetBands(group, 0, std::span(kTenBandFreqs).first(9));
    WriteEqBand(group, 9, 0.0, kSubCrossoverHz, kQReset, kFilterLowPassQ0707b);
    WriteEqBand(group, 10, 0.0, kSubCrossoverHz, kQReset, kFilterLowPassQ0541);
    WriteEqBand(group, 11, 0.0, kSubCrossoverHz, kQReset, kFilterPeq);
    WriteEqBand(group, 12, 0.0, kSubCrossoverHz, kQReset, kFilterPeq);
}

} // namespace

std::optional<BandCommand> EqBandCommand(int group, int band) {
    if (band < 0 || band >= GroupBands(group)) {
        return std::nullopt;
    }
    switch (group) {
    case kEchoGroup:
        return BandCommand{kEchoGroup, band <= 6 ? band : band + 6};
    case kReverbGroup:
        return BandCommand{kReverbGroup, band <= 6 ? band : band + 5};
    case kMusicGroup:
        return BandCommand{kMusicGroup, band};
    case kMusicBassGroup:
        return BandCommand{kMusicGroup, 10};
    default:
        if (group >= kFirstOutputGroup && group <= kLastOutputGroup) {
            return BandCommand{group, band};
        }
        return BandCommand{kMicGroup, band <= 9 ? 16 + band : 29 + band};
    }
}

bool WriteEqBand(int group, int band, double gainDb, double freqHz, double q, int type,
                 double extraDb) {
    const auto command = EqBandCommand(group, band);
    if (!command) {
        return false;
    }
    ParamImage& image = GetParamImage();
    const int offset = image.WriteBand(group, band, gainDb, freqHz, q, type);
    CommandSink().WriteStore(offset, image.RecordBytes(ParamImage::BandRecordIndex(group, band)));
    SendParamValues(command->module, command->item, BiquadValues(type, gainDb, freqHz, q, extraDb));
    return true;
}

bool SendEqBand(int group, int band) {
    const auto command = EqBandCommand(group, band);
    if (!command) {
        return false;
    }
    const EqBand b = GetParamImage().ReadBand(group, band);
    SendParamValues(command->module, command->item, BiquadValues(b.type, b.gainDb, b.freqHz, b.q));
    return true;
}

void SendAllEqBands() {
    const std::array<std::pair<int, int>, 4> front = {
        {{kMicGroup, 20}, {kEchoGroup, 14}, {kReverbGroup, 14}, {kMusicGroup, 10}}};
    for (const auto& [group, bands] : front) {
        for (int b = 0; b < bands; ++b) {
            SendEqBand(group, b);
        }
    }
    for (int group = kFirstOutputGroup; group <= kLastOutputGroup; ++group) {
        for (int b = 0; b < kOutputEqBands; ++b) {
            SendEqBand(group, b);
        }
    }
    SendEqBand(kMusicBassGroup, 0);
}

std::optional<EqKindBands> EqKind(int kind) {
    switch (kind) {
    case 0:
        return EqKindBands{kMicGroup, 0, 10};
    case 1:
        return EqKindBands{kMicGroup, 10, 10};
    case 2:
        return EqKindBands{kReverbGroup, 0, 7};
    case 3:
        return EqKindBands{kReverbGroup, 7, 7};
    case 4:
        return EqKindBands{kEchoGroup, 0, 7};
    case 5:
        return EqKindBands{kEchoGroup, 7, 7};
    case 6:
        return EqKindBands{kMusicGroup, 0, 10};
    default:
        if (IsOutputKind(kind)) {
            return EqKindBands{kFirstOutputGroup + kind - kFirstOutputKind, 0, kOutputEqBands};
        }
        return std::nullopt;
    }
}

void ResetEq(int kind) {
    const auto k = EqKind(kind);
    if (!k) {
        return;
    }
    if (IsOutputKind(kind)) {
        ResetOutput(kind - kFirstOutputKind);
    } else if (IsMusicOrMicKind(kind)) {
        ResetBands(k->group, k->firstBand, kTenBandFreqs);
    } else {
        ResetBands(k->group, k->firstBand, kEffectFreqs);
    }
}

void CopyEq(int sourceKind, int destinationKind) {
    const auto src = EqKind(sourceKind);
    if (!src) {
        DebugLog("MX_CopyEQ src over range\n");
        return;
    }
    const auto dst = EqKind(destinationKind);
    if (!dst) {
        DebugLog("MX_CopyEQ dst over range\n");
        return;
    }
    ParamImage& image = GetParamImage();
    const auto offsetOf = [](int group, int band) {
        return kBandRecordSize * static_cast<std::size_t>(ParamImage::BandRecordIndex(group, band));
    };
    const int n = std::min(src->bands, dst->bands);
    for (int i = 0; i < n; ++i) {
        const auto bytes =
            image.RecordBytes(ParamImage::BandRecordIndex(src->group, src->firstBand + i));
        image.WriteBlock(Block::System, offsetOf(dst->group, dst->firstBand + i), bytes);
    }

    const std::size_t band9 = offsetOf(dst->group, dst->firstBand + 9);
    if (IsMusicOrMicKind(sourceKind) && IsOutputKind(destinationKind)) {
        // Bands 10..12 become flat at band 9's frequency and Q, codes copied unchanged.
        auto record = image.RecordBytes(static_cast<int>(band9 / kBandRecordSize));
        std::copy_n(kFlatGainCode, 2, record.begin());
        record[kRecordType] = kFilterPeq;
        for (int b = 10; b <= 12; ++b) {
            image.WriteBlock(Block::System, offsetOf(dst->group, dst->firstBand + b), record);
        }
    } else if (IsOutputKind(sourceKind) && IsMusicOrMicKind(destinationKind)) {
        const int type = image.BlockByte(Block::System, band9 + kRecordType);
        if (IsCrossoverType(type)) {
            image.SetBlockByte(Block::System, band9 + kRecordType,
                               type % 2 == 1 ? kFilterHighPass : kFilterLowPass);
        }
    }

    for (int i = 0; i < dst->bands; ++i) {
        SendStoredBand(dst->group, dst->firstBand + i);
    }
}

} // namespace kv
