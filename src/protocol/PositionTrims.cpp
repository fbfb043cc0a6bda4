#include "protocol/PositionTrims.h"

#include "protocol/CoefficientEncoders.h"
#include "protocol/CommandSink.h"

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

constexpr int kRoutingAddress = 1285;

bool ValidSpeaker(int speaker) {
    return speaker >= 0 && speaker < kPositionSpeakers;
}

void StoreGeometry(const RoomGeometry& geometry) {
    ParamImage& image = GetParamImage();
    image.SetGeometry(geometry);
    WriteRouting();
}

} // namespace

float DistanceTrimDb(float distance) {
    return 3.0f - 3.0f * distance;
}

float SpeakerTrimDb(const RoomGeometry& geometry, int speaker) {
    if (!ValidSpeaker(speaker)) {
        return 0.0f;
    }
    const auto k = static_cast<std::size_t>(speaker);
    const float dx = geometry.listenerX - geometry.speakerX[k];
    const float dy = geometry.listenerY - geometry.speakerY[k];
    return DistanceTrimDb(std::sqrt(dx * dx + dy * dy));
}

int ChannelOfSpeakerCode(int code) {
    const ParamImage& image = GetParamImage();
    for (int c = 0; c < kOutputChannels; ++c) {
        if (image.Int(fields::outRole, c) == code) {
            return c;
        }
    }
    return -1;
}

int ApplySpeakerLevel(int speaker, float db) {
    if (!ValidSpeaker(speaker)) {
        return -1;
    }
    const int channel = ChannelOfSpeakerCode(kSpeakerCodes[static_cast<std::size_t>(speaker)]);
    if (channel >= 0) {
        SetPositionTrim(channel, db);
    }
    return channel;
}

int UpdateSpeakerLevel(int speaker) {
    return ApplySpeakerLevel(speaker, SpeakerTrimDb(GetParamImage().Geometry(), speaker));
}

void UpdateAllSpeakerLevels() {
    const RoomGeometry geometry = GetParamImage().Geometry();
    for (int k = 0; k < kPositionSpeakers; ++k) {
        ApplySpeakerLevel(k, SpeakerTrimDb(geometry, k));
    }
}

void WriteRouting() {
    ParamImage& image = GetParamImage();
    image.PackRouting();
    CommandSink().WriteStore(kRoutingAddress, image.BlockBytes(Block::Routing));
}

void MovePositionMarker(int marker, float x, float y) {
    if (marker < 0 || marker >= kPositionMarkers) {
        return;
    }
    RoomGeometry geometry = GetParamImage().Geometry();
    if (marker == 0) {
        geometry.listenerX = x;
        geometry.listenerY = y;
        StoreGeometry(geometry);
        UpdateAllSpeakerLevels();
        return;
    }
    const auto k = static_cast<std::size_t>(marker - 1);
    geometry.speakerX[k] = x;
    geometry.speakerY[k] = y;
    StoreGeometry(geometry);
    UpdateSpeakerLevel(marker - 1);
}

void CentreListener() {
    RoomGeometry geometry = GetParamImage().Geometry();
    geometry.listenerX = 0.0f;
    StoreGeometry(geometry);
    geometry.listenerY = 0.0f;
    StoreGeometry(geometry);
    UpdateAllSpeakerLevels();
}

void SetRoomSize(int width, int length) {
    RoomGeometry geometry = GetParamImage().Geometry();
    geometry.width = std::clamp(width, kMinRoomMetres, kMaxRoomMetres);
    geometry.length = std::clamp(length, kMinRoomMetres, kMaxRoomMetres);
    StoreGeometry(geometry);
}

} // namespace kv
