#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

/// Outbound reports as bytes. Pure functions: the senders are a thin layer over them, so
/// every command can be checked byte for byte without a processor.
namespace kv {

inline constexpr std::size_t kCommandSize = 61;
using Command = std::array<std::uint8_t, kCommandSize>;

/// Command codes (byte 1).
enum CommandCode : std::uint8_t {
    kCmdSelectMode = 3,
    kCmdStoreMode = 4,
    kCmdRecallMode = 5,
    kCmdFactoryMode = 6,
    kCmdCurrentMode = 7,
    kCmdSetParam = 9,
    kCmdQueryParam = 10,
    kCmdStatus = 14,
    kCmdStoreRead = 48,
    kCmdLearningTable = 98,
    kCmdDspVersion = 126,
    kCmdCommVersion = 127,
    kCmdModel = 128,
    kCmdMcuVersion = 129,
    kCmdStoreWrite = 133,
    kCmdGoodbye = 138,
    kCmdMachineSettings = 146,
    kCmdPing = 149,
};

inline constexpr std::size_t kMaxStoreBytes = 56;
inline constexpr std::size_t kMaxParamWords = 13;

/// 02 v0 v1 ... from the values up to the first -1 (at most 60), zero-padded. Values are
/// taken modulo 256.
Command BuildCommand(std::initializer_list<int> values);
/// Parameter command 02 09 00 module item n, then the n 4-byte words most significant byte
/// first. At most 13 words are taken.
Command BuildParamCommand(int module, int item, std::span<const std::uint32_t> words);
/// Parameter query 02 0A 00 module item 01.
Command BuildParamQuery(int module, int item);
/// Store write 02 85 hi lo len data (at most 56 bytes are taken).
Command BuildStoreWrite(int address, std::span<const std::uint8_t> data);
/// Store read 02 30 hi lo len.
Command BuildStoreRead(int address, int length);

/// The 4-byte word of a single (its bit pattern).
std::uint32_t FloatWord(float v);

} // namespace kv
