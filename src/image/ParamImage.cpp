#include "image/ParamImage.h"

#include "image/Encodings.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace kv {

namespace {

constexpr std::array<std::uint16_t, 10> kTenBandFreqs = {31,   62,   125,  250,  500,
                                                         1000, 2000, 4000, 8000, 16000};

// Record codes of the band defaults.
constexpr std::uint16_t kGain0 = 150;
constexpr std::uint16_t kQ1414 = 1414;
constexpr std::uint16_t kQ707 = 707;

struct DefaultRecord {
    std::uint8_t record;
    std::uint8_t type;
    std::uint16_t freq;
    std::uint16_t q;
    std::uint16_t gain;
};

// The filter records of the echo and reverb equalisers; the peaking bands around them are
// filled in code.
constexpr std::array<DefaultRecord, 7> kEffectFilterDefaults = {{
    {26, kFilterLowPass, 5000, kQ707, kGain0},
    {27, kFilterHighPass, 200, kQ707, kGain0},
    {33, kFilterHighShelf, 5000, kQ707, 180},
    {34, kFilterHighPass, 120, kQ707, kGain0},
    {40, kFilterHighShelf, 5000, kQ707, 90},
    {41, kFilterHighPass, 100, kQ707, kGain0},
    {47, kFilterHighShelf, 3000, kQ707, 120},
}};

constexpr std::array<std::uint16_t, 6> kEchoAFreqs = {61, 125, 250, 500, 1000, 2300};
constexpr std::array<std::uint16_t, 5> kEffectFreqs = {160, 250, 500, 1000, 2300};

std::u16string CutField(std::u16string_view text, std::size_t units) {
    // Fields are zero-terminated: at most units - 1 characters, and nothing after a 0.
    const auto end = std::min(text.find(u'\0'), std::min(text.size(), units - 1));
    return std::u16string(text.substr(0, end));
}

} // namespace

std::size_t BlockSize(Block block) {
    switch (block) {
    case Block::System:
        return kSystemBlockSize;
    case Block::Extension:
        return kExtensionBlockSize;
    case Block::Routing:
        return kRoutingBlockSize;
    case Block::Tail:
        return kTailBlockSize;
    case Block::ReadBack:
        return kReadBackSize;
    case Block::Hub:
        return kHubBlockSize;
    case Block::DeviceTable:
        return kDeviceRecordSize * kDeviceRecords;
    case Block::SceneTable:
        return kSceneRecordSize * kSceneRecords;
    }
    return 0;
}

ParamImage::ParamImage() = default;

void ParamImage::InitDefaults() {
    SetModel(u"MX2240");
    SetMcuVersion(u"2012-10-03");
    SetDspVersion(u"2012-11-30");
    for (int m = 0; m < kModes; ++m) {
        const char16_t name[3] = {u'M', static_cast<char16_t>(u'1' + m), 0};
        SetModeName(m, name);
    }

    WriteBlock(Block::Routing, 0, kDefaultRouting);

    {
        std::lock_guard lock(m_lock);
        std::fill_n(m_hub.begin() + kHubSettingsEditOffset, kMachineSettingsSize, 0);
        std::fill_n(m_hub.begin() + kHubSettingsOffset, kMachineSettingsSize, 0);
        m_hub[539] = 99;
        m_hub[540] = 99;
    }

    for (auto& slot : m_main) {
        slot.store(0);
    }
    FillBlock(Block::System, 0);

    for (int ch = 0; ch < 2; ++ch) {
        SetFloat(fields::echoTime, ch, 217.0f);
    }
    FillBlock(Block::Extension, 0);
    for (int ch = 0; ch < 2; ++ch) {
        SetInt(fields::echoStartVol, ch, 60);
    }

    std::lock_guard lock(m_lock);
    for (int b = 0; b < 10; ++b) {
        WriteRecordLocked(b, kGain0, kTenBandFreqs[b], kQ1414, kFilterPeq);
        WriteRecordLocked(10 + b, kGain0, kTenBandFreqs[b], kQ1414, kFilterPeq);
        WriteRecordLocked(48 + b, kGain0, kTenBandFreqs[b], kQ1414, kFilterPeq);
    }
    for (std::size_t b = 0; b < kEchoAFreqs.size(); ++b) {
        WriteRecordLocked(20 + static_cast<int>(b), kGain0, kEchoAFreqs[b], kQ1414, kFilterPeq);
    }
    for (int first : {28, 35, 42}) {
        for (std::size_t b = 0; b < kEffectFreqs.size(); ++b) {
            WriteRecordLocked(first + static_cast<int>(b), kGain0, kEffectFreqs[b], kQ1414,
                              kFilterPeq);
        }
    }
    for (const auto& d : kEffectFilterDefaults) {
        WriteRecordLocked(d.record, d.gain, d.freq, d.q, d.type);
    }
    for (int ch = 0; ch < kOutputChannels; ++ch) {
        const int first = 58 + 15 * ch;
        for (int b = 0; b < 13; ++b) {
            WriteRecordLocked(first + b, kGain0, kTenBandFreqs[std::min(b, 9)], kQ1414, kFilterPeq);
        }
        WriteRecordLocked(first + 13, kGain0, 500, kQ707, kFilterPeq);
        WriteRecordLocked(first + 14, kGain0, 1000, kQ707, kFilterPeq);
    }
}

// --- Main block ------------------------------------------------------------------------------

std::int32_t ParamImage::Slot(int index) const {
    if (index < 0 || index >= kMainSlots) {
        return 0;
    }
    return m_main[static_cast<std::size_t>(index)].load(std::memory_order_relaxed);
}

void ParamImage::SetSlot(int index, std::int32_t value) {
    if (index < 0 || index >= kMainSlots) {
        return;
    }
    m_main[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
}

float ParamImage::SlotFloat(int index) const {
    return std::bit_cast<float>(Slot(index));
}

void ParamImage::SetSlotFloat(int index, float value) {
    SetSlot(index, std::bit_cast<std::int32_t>(value));
}

std::int32_t ParamImage::Int(const MainField& field, int entry) const {
    if (entry < 0 || entry >= field.count) {
        return 0;
    }
    return Slot(field.SlotOf(entry));
}

void ParamImage::SetInt(const MainField& field, int entry, std::int32_t value) {
    if (entry < 0 || entry >= field.count) {
        return;
    }
    SetSlot(field.SlotOf(entry), value);
}

float ParamImage::Float(const MainField& field, int entry) const {
    return std::bit_cast<float>(Int(field, entry));
}

void ParamImage::SetFloat(const MainField& field, int entry, float value) {
    SetInt(field, entry, std::bit_cast<std::int32_t>(value));
}

std::array<std::uint8_t, kMainBlockSize> ParamImage::MainBlock() const {
    std::array<std::uint8_t, kMainBlockSize> bytes{};
    for (int i = 0; i < kMainSlots; ++i) {
        const auto v = static_cast<std::uint32_t>(Slot(i));
        for (int k = 0; k < 4; ++k) {
            bytes[static_cast<std::size_t>(4 * i + k)] = static_cast<std::uint8_t>(v >> (8 * k));
        }
    }
    return bytes;
}

void ParamImage::SetMainBlock(std::span<const std::uint8_t> bytes) {
    const std::size_t n = std::min(bytes.size(), kMainBlockSize);
    for (std::size_t i = 0; i < n; i += 4) {
        const int slot = static_cast<int>(i / 4);
        auto v = static_cast<std::uint32_t>(Slot(slot));
        for (std::size_t k = 0; k < 4 && i + k < n; ++k) {
            v &= ~(0xFFu << (8 * k));
            v |= std::uint32_t{bytes[i + k]} << (8 * k);
        }
        SetSlot(slot, static_cast<std::int32_t>(v));
    }
}

// --- Byte blocks ---------------------------------------------------------------------------------

std::uint8_t* ParamImage::BlockData(Block block) {
    return const_cast<std::uint8_t*>(std::as_const(*this).BlockData(block));
}

const std::uint8_t* ParamImage::BlockData(Block block) const {
    switch (block) {
    case Block::System:
        return m_system.data();
    case Block::Extension:
        return m_extension.data();
    case Block::Routing:
        return m_routing.data();
    case Block::Tail:
        return m_tail.data();
    case Block::ReadBack:
        return m_readBack.data();
    case Block::Hub:
        return m_hub.data();
    case Block::DeviceTable:
        return m_devices.data();
    case Block::SceneTable:
        return m_scenes.data();
    }
    return nullptr;
}

std::size_t ParamImage::WriteBlock(Block block, std::size_t offset,
                                   std::span<const std::uint8_t> data) {
    const std::size_t size = BlockSize(block);
    if (offset >= size) {
        return 0;
    }
    const std::size_t n = std::min(data.size(), size - offset);
    std::lock_guard lock(m_lock);
    std::memcpy(BlockData(block) + offset, data.data(), n);
    if (block == Block::Routing) {
        UnpackRoutingLocked();
    }
    return n;
}

std::size_t ParamImage::ReadBlock(Block block, std::size_t offset,
                                  std::span<std::uint8_t> out) const {
    const std::size_t size = BlockSize(block);
    if (offset >= size) {
        return 0;
    }
    const std::size_t n = std::min(out.size(), size - offset);
    std::lock_guard lock(m_lock);
    std::memcpy(out.data(), BlockData(block) + offset, n);
    return n;
}

std::vector<std::uint8_t> ParamImage::BlockBytes(Block block) const {
    std::vector<std::uint8_t> bytes(BlockSize(block));
    ReadBlock(block, 0, bytes);
    return bytes;
}

void ParamImage::FillBlock(Block block, std::uint8_t value) {
    std::lock_guard lock(m_lock);
    std::memset(BlockData(block), value, BlockSize(block));
    if (block == Block::Routing) {
        UnpackRoutingLocked();
    }
}

std::uint8_t ParamImage::BlockByte(Block block, std::size_t offset) const {
    std::uint8_t b = 0;
    ReadBlock(block, offset, std::span(&b, 1));
    return b;
}

void ParamImage::SetBlockByte(Block block, std::size_t offset, std::uint8_t value) {
    WriteBlock(block, offset, std::span(&value, 1));
}

void ParamImage::CopyReadBackToBlocks() {
    std::lock_guard lock(m_lock);
    const auto* rb = m_readBack.data();
    std::memcpy(m_system.data(), rb + kReadBackSystemOffset, kSystemBlockSize);
    std::memcpy(m_extension.data(), rb + kReadBackExtensionOffset, kExtensionBlockSize);
    std::memcpy(m_routing.data(), rb + kReadBackRoutingOffset, kRoutingBlockSize);
    std::memcpy(m_tail.data(), rb + kReadBackTailOffset, kTailBlockSize);
    UnpackRoutingLocked();
}

// --- Bands ---------------------------------------------------------------------------------------

int ParamImage::BandRecordIndex(int group, int band) {
    int index = -1;
    if (group == 2) {
        index = 20 + band;
    } else if (group == 3) {
        index = 34 + band;
    } else if (group == 4) {
        index = 48 + band;
    } else if (group >= 5 && group <= 12) {
        index = 15 * group - 17 + band;
    } else if (group == 14) {
        index = 178 + band;
    } else {
        index = band;
    }
    return (band < 0 || index < 0 || index >= kBandRecords) ? -1 : index;
}

EqBand ParamImage::ReadBand(int group, int band) const {
    return ReadRecord(BandRecordIndex(group, band));
}

int ParamImage::WriteBand(int group, int band, double gainDb, double freqHz, double q, int type) {
    const int record = BandRecordIndex(group, band);
    if (record < 0) {
        return -1;
    }
    WriteRecord(record, gainDb, freqHz, q, type);
    return static_cast<int>(kBandRecordSize) * record;
}

EqBand ParamImage::ReadRecord(int record) const {
    EqBand band;
    if (record < 0 || record >= kBandRecords) {
        return band;
    }
    const auto r = RecordBytes(record);
    band.gainDb = CodeToGain(GetU16BE(&r[0]));
    band.freqHz = GetU16BE(&r[2]);
    band.q = CodeToQ(GetU16BE(&r[4]));
    band.type = r[6];
    return band;
}

void ParamImage::WriteRecord(int record, double gainDb, double freqHz, double q, int type) {
    if (record < 0 || record >= kBandRecords) {
        return;
    }
    std::lock_guard lock(m_lock);
    WriteRecordLocked(record, GainToCode(gainDb), FreqToCode(freqHz), QToCode(q),
                      static_cast<std::uint8_t>(type));
}

void ParamImage::WriteRecordLocked(int record, std::uint16_t gain, std::uint16_t freq,
                                   std::uint16_t q, std::uint8_t type) {
    std::uint8_t* r = m_system.data() + kBandRecordSize * static_cast<std::size_t>(record);
    PutU16BE(r, gain);
    PutU16BE(r + 2, freq);
    PutU16BE(r + 4, q);
    r[6] = type;
}

std::array<std::uint8_t, kBandRecordSize> ParamImage::RecordBytes(int record) const {
    std::array<std::uint8_t, kBandRecordSize> bytes{};
    if (record >= 0 && record < kBandRecords) {
        ReadBlock(Block::System, kBandRecordSize * static_cast<std::size_t>(record), bytes);
    }
    return bytes;
}

// --- Extension and tail --------------------------------------------------------------------------

float ParamImage::ExtensionTrim(int channel) const {
    if (channel < 0 || channel >= kOutputChannels) {
        return 0;
    }
    std::array<std::uint8_t, 4> b{};
    ReadBlock(Block::Extension, 4 * static_cast<std::size_t>(channel), b);
    return GetFloatBE(b.data());
}

void ParamImage::SetExtensionTrim(int channel, float db) {
    if (channel < 0 || channel >= kOutputChannels) {
        return;
    }
    std::array<std::uint8_t, 4> b{};
    PutFloatBE(b.data(), db);
    WriteBlock(Block::Extension, 4 * static_cast<std::size_t>(channel), b);
}

float ParamImage::TailValue() const {
    std::array<std::uint8_t, kTailBlockSize> b{};
    ReadBlock(Block::Tail, 0, b);
    return UnpackTail(b.data());
}

void ParamImage::SetTailValue(float db) {
    WriteBlock(Block::Tail, 0, PackTail(db));
}

// --- Routing -------------------------------------------------------------------------------------

RoomGeometry ParamImage::Geometry() const {
    std::lock_guard lock(m_lock);
    return m_geometry;
}

void ParamImage::SetGeometry(const RoomGeometry& geometry) {
    std::lock_guard lock(m_lock);
    m_geometry = geometry;
}

void ParamImage::UnpackRouting() {
    std::lock_guard lock(m_lock);
    UnpackRoutingLocked();
}

void ParamImage::UnpackRoutingLocked() {
    m_geometry.width = m_routing[0];
    m_geometry.length = m_routing[1];
    m_geometry.listenerX = UnpackCoord(m_routing[2]);
    m_geometry.listenerY = UnpackCoord(m_routing[3]);
    for (std::size_t k = 0; k < 8; ++k) {
        m_geometry.speakerX[k] = UnpackCoord(m_routing[4 + 2 * k]);
        m_geometry.speakerY[k] = UnpackCoord(m_routing[5 + 2 * k]);
    }
}

void ParamImage::PackRouting() {
    std::lock_guard lock(m_lock);
    const auto clampByte = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    m_routing[0] = clampByte(m_geometry.width);
    m_routing[1] = clampByte(m_geometry.length);
    m_routing[2] = PackCoord(m_geometry.listenerX);
    m_routing[3] = PackCoord(m_geometry.listenerY);
    for (std::size_t k = 0; k < 8; ++k) {
        m_routing[4 + 2 * k] = PackCoord(m_geometry.speakerX[k]);
        m_routing[5 + 2 * k] = PackCoord(m_geometry.speakerY[k]);
    }
}

// --- Strings -------------------------------------------------------------------------------------

std::u16string ParamImage::ModeName(int mode) const {
    if (mode < 0 || mode >= kModes) {
        return {};
    }
    std::lock_guard lock(m_lock);
    return m_modeNames[static_cast<std::size_t>(mode)];
}

void ParamImage::SetModeName(int mode, std::u16string_view name) {
    if (mode < 0 || mode >= kModes) {
        return;
    }
    auto cut = CutField(name, kModeNameUnits);
    std::lock_guard lock(m_lock);
    m_modeNames[static_cast<std::size_t>(mode)] = std::move(cut);
}

std::u16string ParamImage::Model() const {
    std::lock_guard lock(m_lock);
    return m_model;
}

void ParamImage::SetModel(std::u16string_view text) {
    auto cut = CutField(text, kModelUnits);
    std::lock_guard lock(m_lock);
    m_model = std::move(cut);
}

std::u16string ParamImage::DspVersion() const {
    std::lock_guard lock(m_lock);
    return m_dspVersion;
}

void ParamImage::SetDspVersion(std::u16string_view text) {
    auto cut = CutField(text, kDspVersionUnits);
    std::lock_guard lock(m_lock);
    m_dspVersion = std::move(cut);
}

std::u16string ParamImage::McuVersion() const {
    std::lock_guard lock(m_lock);
    return m_mcuVersion;
}

void ParamImage::SetMcuVersion(std::u16string_view text) {
    auto cut = CutField(text, kMcuVersionUnits);
    std::lock_guard lock(m_lock);
    m_mcuVersion = std::move(cut);
}

ParamImage& GetParamImage() {
    // Deliberately never destroyed: detached threads may still touch it at exit.
    static ParamImage* image = new ParamImage();
    return *image;
}

} // namespace kv
