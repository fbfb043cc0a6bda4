#pragma once

#include "image/ParamImage.h"

#include <array>

/// Sound positioning: the room geometry the processor keeps in its store and the level trim
/// of each speaker derived from its distance to the listener.
namespace kv {

inline constexpr int kPositionSpeakers = 8;
/// Marker 0 is the listener, markers 1..8 are the speakers of geometry index 0..7.
inline constexpr int kPositionMarkers = 9;
/// Speaker code (the channels' speaker role) of each geometry speaker: L, CEN, R, SBL, SUB,
/// SBR, SL, SR.
inline constexpr std::array<int, kPositionSpeakers> kSpeakerCodes = {0, 5, 1, 2, 4, 3, 6, 7};
/// The locate command's code for "no speaker".
inline constexpr int kNoSpeakerCode = 8;
inline constexpr int kMinRoomMetres = 1;
inline constexpr int kMaxRoomMetres = 10;

/// Level trim for a speaker at distance d (m) from the listener: +3 dB at the listener,
/// 0 dB at 1 m, -3 dB per further metre, without limits. Single precision throughout.
float DistanceTrimDb(float distance);
/// Trim of geometry speaker k (0..7) for the geometry's listener position.
float SpeakerTrimDb(const RoomGeometry& geometry, int speaker);

/// The first output channel (0..7) whose speaker role is code, or -1.
int ChannelOfSpeakerCode(int code);
/// Sends the trim to the first channel that plays speaker k; nothing when none does.
/// Returns the channel trimmed or -1.
int ApplySpeakerLevel(int speaker, float db);
/// Recomputes and sends the trim of speaker k from the image's geometry.
int UpdateSpeakerLevel(int speaker);
/// Recomputes and sends the trims of all eight speakers, k = 0..7.
void UpdateAllSpeakerLevels();

/// Packs the image's geometry into the routing block and writes the block into the store.
void WriteRouting();
/// Moves marker i (0 listener, 1..8 speaker i - 1) to (x, y) m: geometry, routing write,
/// then the trims the move changes (the speaker's own, or all eight for the listener).
void MovePositionMarker(int marker, float x, float y);
/// The listener back to the room's centre: X first and Y second, each followed by a routing
/// write, then all eight trims.
void CentreListener();
/// New room size (limited to 1..10 m), then the routing write. Positions are kept.
void SetRoomSize(int width, int length);

} // namespace kv
