#pragma once

#include <chrono>
#include <functional>

/// The read-all and the write-all: bring the whole image and the processor into agreement.
/// Each runs on a thread of its own and ends by posting a SyncFinished notice (its kind and
/// how it ended) to the link's receiver.
namespace kv {

class ParamImage;

/// How a read-all ended.
enum class ReadAllResult {
    Done,         ///< identified and read
    Disconnected, ///< the processor went away at a checked step
    UnknownModel, ///< the model was not accepted after two attempts
    WrongVersion, ///< the communication version is not 18
    NoAnswer,     ///< the processor did not answer the identification
    Incomplete,   ///< some answers did not come: the image keeps what it had for them
};

/// How a write-all ended.
enum class WriteAllResult {
    Done,         ///< every command was answered
    Disconnected, ///< the processor went away
    Incomplete,   ///< some commands stayed unanswered: the processor may hold part of it
};

/// How the last read-all or write-all ended, with the number of its requests (reads or
/// commands) that stayed unanswered after every attempt.
template <typename Result>
struct SyncOutcome {
    Result result = Result::Done;
    int failed = 0;
};
using ReadAllOutcome = SyncOutcome<ReadAllResult>;
using WriteAllOutcome = SyncOutcome<WriteAllResult>;

ReadAllOutcome LastReadAll();
WriteAllOutcome LastWriteAll();

inline constexpr int kCommVersion = 18;
inline constexpr int kReadBackChunks = 59;
inline constexpr int kSystemStoreChunks = 23;
inline constexpr int kReadBackRecordCount = 204;

/// True for "KV5930Q" and "RS483" in any letter case.
bool IsAcceptedModel(const ParamImage& image);

/// Identification, current mode, the store read-back and its decoding, machine settings and
/// the learning table. Every request waits for its answer and is asked again (kSendAttempts
/// in all) when none comes; the read-back is decoded only when all of it arrived.
ReadAllResult SynchronizeReadAll();
/// The 59 store reads of the whole read-back block (56 bytes each, 51 for the last), each
/// answered by the store read answer for its address. Returns the reads left unanswered.
int ReadBackImage();
/// Copies the read-back block into the store blocks and decodes its 204 parameter records.
void DecodeReadBack(ParamImage& image);
/// The start offsets of the decoded records inside the read-back block, in increasing order.
const int* ReadBackRecordOffsets();

/// Every scalar parameter in the processor's order; with restoreVolumes the microphone and
/// music volumes are first sent as 0.
void SendAllParams(bool restoreVolumes);
/// The system, routing and extension blocks into the processor's store.
void WriteSystemBlocks();
/// Brings the microphone and music volumes up step by step.
void RampVolumes();
/// All parameters, the store blocks, every band, the ramp when the machine settings ask for
/// it and the two volume queries. Every command waits for its answer and is sent again when
/// none comes.
WriteAllResult SynchronizeWriteAll();

/// Thread bodies: status poll off, 100 ms, the procedure, SyncFinished, poll on. One
/// synchronisation runs at a time: a body waits until the one running has ended, then lets
/// the device's queue write what it holds before its own commands. Each returns how its
/// procedure ended. load, when given, runs once the write-all has its turn, before it sends
/// anything (a file taken into the image).
ReadAllOutcome SynchronizeReadThreadProc();
WriteAllOutcome SynchronizeWriteThreadProc(const std::function<void()>& load = {});
/// Start the thread bodies on detached threads (each logs "Start thread:SynchronizeData").
/// A read-all asked for while another waits to run is that one: at most one waits.
void StartReadAllThread();
void StartWriteAllThread(std::function<void()> load = {});
/// Synchronisation threads started and not yet ended.
int RunningSyncThreads();
/// Waits until no synchronisation thread runs; false when the time ran out first.
bool WaitForSyncThreads(std::chrono::milliseconds timeout);
/// Lets the dispatcher start a read-all when the processor asks for one (reports 5 and 6).
void InstallReadAllStarter();

} // namespace kv
