#include "link/Link.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/DebugLog.h"
#include "link/Event.h"
#include "link/LinkReceiver.h"
#include "link/WriteHold.h"
#include "link/platform/DeliveryGate.h"
#include "link/platform/HidBackend.h"
#include "link/platform/UsbId.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace kv {

namespace {

using std::chrono::milliseconds;

constexpr std::uint8_t kReportId = 2;
constexpr std::uint8_t kStoreWriteCommand = 133;
constexpr int kMaxCommandValues = 60;
constexpr std::size_t kPathLogChars = 260;

using Clock = std::chrono::steady_clock;

/// After the last writer left, the reader thread leaves the reading to writers for this long
/// before it reads again itself: exchanges that follow each other closely each read their
/// own answer, and the reader thread is not woken for every one of them.
constexpr milliseconds kReaderLinger{5};

/// One writer waiting for the answer to its command.
struct AnswerWaiter {
    const AnswerCheck* isAnswer;
    bool answered = false;
};

/// Who reads the device: one thread at a time, so that reports are dispatched one at a time
/// and in the order they came.
enum class ReadRole { Free, Reader, Writer };

std::atomic<int> g_answerWaitMs{kAckWaitMs};
/// True while the report handler runs on this thread: the report gets its one
/// acknowledgement afterwards, so a handler's own SetAckEvent would release a second writer
/// for the same report.
thread_local bool t_dispatching = false;
std::atomic<ReportHandler> g_reportHandler{nullptr};

/// The link objects of one connection attempt (InitUsbObjects creates them anew). A reader
/// thread keeps the objects of its own connection alive, so a reader that outlives its
/// connection never touches the next one's events or device.
struct LinkObjects {
    explicit LinkObjects(std::uint64_t g) : generation(g) {}

    const std::uint64_t generation;
    Event readThreadExit{Event::Mode::AutoReset, false};   ///< g_hReadThreadExit
    Event readerFinished{Event::Mode::ManualReset, false}; ///< the reader returned
    /// Guards the members from here to deviceLock. Never held across a read, a write, a
    /// handler or a log line.
    std::mutex lock;
    /// Writers waiting: a report was counted, the read role came free or the link ended.
    std::condition_variable changed;
    /// The reader thread waiting for the writers to leave the reading to it.
    std::condition_variable readerWake;
    /// g_hAckEvent: a report arrived since the last paced write (auto-reset: one write per
    /// report). Set at first, so the first write does not wait.
    bool acknowledged = true;
    ReadRole role = ReadRole::Free;
    int writersIn = 0;                  ///< writers waiting for a previous answer or their own
    Clock::time_point writersLeft;      ///< when the last of them left
    int sleepers = 0;                   ///< writers waiting on changed
    std::vector<AnswerWaiter*> waiters; ///< writers waiting for the answer to their command
    bool ended = false;                 ///< the device failed or the reader ended: no report comes
    /// Must be locked when using device or path.
    std::mutex deviceLock;
    std::shared_ptr<hid::HidDevice> device; ///< g_hUsbDevice
    std::string path;                       ///< g_szDevicePath
};

/// Where the connection is. Connecting and closing take turns through it instead of a lock,
/// so that neither holds a lock while it opens, joins the reader or closes the device.
enum class Phase { Closed, Opening, Open, Closing };

struct LinkState {
    std::mutex objectsLock; ///< guards objects
    std::shared_ptr<LinkObjects> objects = std::make_shared<LinkObjects>(1);
    /// The generation of objects, so that a thread can tell its view is current.
    std::atomic<std::uint64_t> generation{1};
    /// Changed only by Settle, BeginPhase and EndPhase.
    std::atomic<Phase> phase{Phase::Closed};
    /// The device notices being handed to the receiver: a replaced receiver (or a closing
    /// link) waits until none is, and no lock is held while the receiver runs (it may
    /// connect from inside its notice).
    hid::DeliveryGate notices;
    std::atomic<ILinkReceiver*> receiver{nullptr};
    std::mutex openErrorLock; ///< guards openError
    std::string openError;    ///< why the last connection attempt could not open a device
};

LinkState& State() {
    static LinkState* state = new LinkState; // outlives a reader still running at exit
    return *state;
}

std::shared_ptr<LinkObjects> Objects() {
    LinkState& s = State();
    std::lock_guard lock(s.objectsLock);
    return s.objects;
}

bool IsCurrent(const LinkObjects* objects) {
    return Objects().get() == objects;
}

std::shared_ptr<hid::HidDevice> DeviceOf(LinkObjects& o) {
    std::lock_guard lock(o.deviceLock);
    return o.device;
}

/// The link objects and the device as this thread last fetched them. The writers' hot path
/// takes no lock and copies no shared pointer: the view is fetched again only once a new
/// connection attempt replaced the objects, or while no device was open yet. It keeps a
/// closed device alive until then, whose writes fail like those to no device.
struct ThreadView {
    std::uint64_t generation = 0;
    std::shared_ptr<LinkObjects> objects;
    std::shared_ptr<hid::HidDevice> device;
};

thread_local ThreadView t_view;

/// This thread's view, brought up to date. Its members stay valid until the thread's next
/// call outside a report handler: a handler that writes from inside a dispatch stays with
/// the connection whose report it handles, whose objects the dispatching thread is using.
ThreadView& View() {
    LinkState& s = State();
    ThreadView& v = t_view;
    if (t_dispatching && v.objects) {
        return v;
    }
    if (v.generation != s.generation.load(std::memory_order_acquire)) {
        std::lock_guard lock(s.objectsLock);
        v.objects = s.objects;
        v.generation = v.objects->generation;
        v.device.reset();
    }
    if (!v.device) {
        v.device = DeviceOf(*v.objects);
    }
    return v;
}

/// Waits while another thread connects or closes; returns the phase it settled in.
Phase Settle() {
    std::atomic<Phase>& phase = State().phase;
    for (;;) {
        const Phase now = phase.load();
        if (now != Phase::Opening && now != Phase::Closing) {
            return now;
        }
        phase.wait(now);
    }
}

/// Moves from the settled phase from to next (Opening or Closing); false when the link is
/// not in from once the other threads are done.
[[nodiscard]] bool BeginPhase(Phase from, Phase next) {
    for (;;) {
        Phase now = Settle();
        if (now != from) {
            return false;
        }
        if (State().phase.compare_exchange_strong(now, next)) {
            return true;
        }
    }
}

void EndPhase(Phase settled) {
    State().phase.store(settled);
    State().phase.notify_all();
}

void ForwardNotice(hid::HidNotice notice, const std::string& path) {
    hid::DeliveryGate::Pass pass(State().notices);
    if (ILinkReceiver* receiver = State().receiver.load()) {
        receiver->OnDeviceChange(notice == hid::HidNotice::Arrival, path);
    }
}

/// Steps 5 to 7 of the writer: the write and its log line. No lock is held across the
/// write (a device that stops reading must not stop the reader); each log line is written
/// as one piece.
int WriteReport(hid::HidDevice* device, const std::uint8_t* buffer) {
    int count = 0;
    if (device != nullptr) {
        count = device->Write(buffer, AnswerWait());
    }
    if (DebugEnabled()) {
        DebugHexLine("Write:", buffer, 1, 59);
    }
    if (count != static_cast<int>(kReportSize)) {
        DebugWrite("usb数据写入出错");
    }
    return count;
}

bool LinkRefusesWrites() {
    if (g_bDeviceConnected.load() == 0) {
        return true;
    }
    if (g_bReadThreadEnd.load() != 0) {
        DebugWrite("g_bReadThreadEnd == TRUE ,WriteUsbData return \n");
        return true;
    }
    return false;
}

/// Logs one report and hands it to the report handler.
void Dispatch(const std::uint8_t* report) {
    if (DebugEnabled()) {
        DebugHexLine("Read:", report, 1, 60);
    }
    if (ReportHandler handler = g_reportHandler.load()) {
        const bool outer = std::exchange(t_dispatching, true);
        handler(report);
        t_dispatching = outer;
    }
}

/// One read by the thread that took the read role (the caller holds lock, and role is set):
/// the report is read and dispatched with the lock released, then counted: the next paced
/// write may go, and the writers it answers are released. A failed read ends the link's
/// waits, as the reader's failure always did. Returns with lock held and the role free.
hid::ReadResult ReadAsHolder(std::unique_lock<std::mutex>& lock, LinkObjects& o,
                             hid::HidDevice* device, const Clock::time_point* deadline) {
    lock.unlock();
    std::uint8_t buffer[kReportSize] = {};
    hid::ReadResult r = hid::ReadResult::Failed;
    if (device != nullptr) {
        r = deadline != nullptr    ? device->ReadUntil(buffer, *deadline)
            : device->Read(buffer) ? hid::ReadResult::Report
                                   : hid::ReadResult::Failed;
    }
    if (r == hid::ReadResult::Report) {
        Dispatch(buffer);
    } else if (r == hid::ReadResult::Failed) {
        DebugWrite("Read Usb Error will return !\n");
        if (IsCurrent(&o)) {
            g_bStatusPoll.store(0);
            g_bReadThreadEnd.store(1);
        }
    }
    lock.lock();
    o.role = ReadRole::Free;
    if (r == hid::ReadResult::Report) {
        o.acknowledged = true;
        for (AnswerWaiter* w : o.waiters) {
            if (!w->answered && (!*w->isAnswer || (*w->isAnswer)(buffer))) {
                w->answered = true;
            }
        }
    } else if (r == hid::ReadResult::Failed) {
        o.ended = true;
        o.readerWake.notify_all();
    }
    // The others may have their report now, or one of them reads next.
    if (o.sleepers > 0) {
        o.changed.notify_all();
    }
    return r;
}

enum class WaitEnd { Done, TimedOut, Ended };

/// Waits until done() holds (checked with lock held) or the deadline passes. While no other
/// thread reads the device, this one takes the read role and reads and dispatches the
/// reports itself, so that its answer needs no other thread to wake it; otherwise the
/// holder counts the reports for it.
template <typename Done>
WaitEnd AwaitReports(std::unique_lock<std::mutex>& lock, LinkObjects& o, hid::HidDevice* device,
                     Clock::time_point deadline, Done done) {
    for (;;) {
        if (done()) {
            return WaitEnd::Done;
        }
        if (o.ended) {
            return WaitEnd::Ended;
        }
        if (Clock::now() >= deadline) {
            return WaitEnd::TimedOut;
        }
        if (o.role == ReadRole::Free) {
            o.role = ReadRole::Writer;
            ReadAsHolder(lock, o, device, &deadline);
            continue;
        }
        ++o.sleepers;
        o.changed.wait_until(lock, deadline);
        --o.sleepers;
    }
}

/// Consumes the acknowledgement of the previous report; the caller holds the lock.
bool TakeAcknowledgement(LinkObjects& o) {
    return std::exchange(o.acknowledged, false);
}

/// Step 4 of the writer: waits until a report arrived since the previous write. The caller
/// holds lock and counts among the writers in.
WaitEnd AwaitPreviousAnswer(std::unique_lock<std::mutex>& lock, LinkObjects& o,
                            hid::HidDevice* device) {
    return AwaitReports(lock, o, device, Clock::now() + AnswerWait(),
                        [&o] { return TakeAcknowledgement(o); });
}

void LeaveLocked(LinkObjects& o) {
    --o.writersIn;
    o.writersLeft = Clock::now();
}

/// The paced write of a complete 61-byte buffer.
int WritePaced(const std::uint8_t* buffer) {
    if (LinkRefusesWrites()) {
        return 0;
    }
    ThreadView& v = View();
    LinkObjects& o = *v.objects;
    WaitEnd previous;
    {
        std::unique_lock lock(o.lock);
        ++o.writersIn;
        previous = AwaitPreviousAnswer(lock, o, v.device.get());
        LeaveLocked(o);
    }
    if (previous == WaitEnd::TimedOut) {
        DebugWrite("WaitForSingleObject Time Out \r\n ");
    }
    AwaitWriteHold();
    // A reader that failed during the wait released it.
    if (LinkRefusesWrites()) {
        return 0;
    }
    return WriteReport(v.device.get(), buffer);
}

/// The reader thread: reads the reports nobody asked for (status, Z-Wave frames, key
/// presses) while no writer reads, and the answers of writers that found it reading.
void ReaderBody(const std::shared_ptr<LinkObjects>& o) {
    if (IsCurrent(o.get())) {
        g_bReadThreadEnd.store(0);
    }
    DebugWrite("start thread: ReadUsbThreadProc \n");
    o->readThreadExit.Reset();
    const auto device = DeviceOf(*o);    // the connection's device does not change
    t_view = {o->generation, o, device}; // a handler's writes go to this connection
    {
        std::unique_lock lock(o->lock);
        while (g_bDeviceConnected.load() != 0 && !o->ended) {
            const Clock::time_point now = Clock::now();
            const Clock::time_point since = o->writersIn > 0 ? now : o->writersLeft;
            if (o->role == ReadRole::Free && now - since >= kReaderLinger) {
                o->role = ReadRole::Reader;
                ReadAsHolder(lock, *o, device.get(), nullptr);
            } else {
                o->readerWake.wait_until(lock, since + kReaderLinger);
            }
        }
        o->ended = true; // no report is read for the writers any more
        o->changed.notify_all();
    }
    o->readThreadExit.Set();
    DebugWrite("End thread: ReadUsbThreadProc \n");
    t_view = {};
    o->readerFinished.Set();
}

} // namespace

void InitUsbObjects() {
    LinkState& s = State();
    {
        std::lock_guard lock(s.objectsLock);
        const std::uint64_t next = s.objects->generation + 1;
        s.objects = std::make_shared<LinkObjects>(next);
        s.generation.store(next, std::memory_order_release);
    }
    g_bZWaveSynchronised.store(0);
}

bool RegisterUsbNotification() {
    bool watching = false;
    for (const auto& backend : hid::HidBackends()) {
        if (backend->StartWatching(ForwardNotice)) {
            watching = true;
        }
    }
    if (!watching) {
        if (ILinkReceiver* receiver = State().receiver.load()) {
            receiver->ShowErrorBox("Can't register device notification: ", "Error");
        }
    }
    return watching;
}

void UnregisterUsbNotification() {
    for (const auto& backend : hid::HidBackends()) {
        backend->StopWatching();
    }
}

std::shared_ptr<hid::HidDevice> TryOpenUsbPath(const hid::HidInterface& iface) {
    if (iface.path.empty()) {
        DebugWrite("查找设备路径时出错!");
        return nullptr;
    }
    char line[kPathLogChars];
    std::snprintf(line, sizeof line, "设备路径:\r\n%s", iface.path.c_str());
    DebugWrite(line);
    DebugWrite("尝试打开通信端口....");
    auto device = hid::OpenHidPath(iface.path);
    if (!device) {
        if (std::string why = hid::LastOpenError(); !why.empty()) {
            std::lock_guard lock(State().openErrorLock);
            State().openError = std::move(why);
        }
        DebugWrite("无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n");
        return nullptr;
    }
    DebugWrite("打开通信端口成功!\n");
    DebugWrite("正在读取设备的标识...\n");
    const auto attributes = device->Attributes();
    if (!attributes) {
        DebugWrite("查询设备信息出错!\n");
        device->Close();
        return nullptr;
    }
    const UsbId wanted = ProcessorUsbId();
    if (attributes->vendorId != wanted.vendorId || attributes->productId != wanted.productId) {
        device->Close();
        return nullptr;
    }
    auto o = Objects();
    std::lock_guard lock(o->deviceLock);
    o->path = iface.path;
    return device;
}

std::string LastOpenFailure() {
    std::lock_guard lock(State().openErrorLock);
    return State().openError;
}

bool OpenUsbDevice() {
    {
        std::lock_guard lock(State().openErrorLock);
        State().openError.clear();
    }
    if (!RegisterUsbNotification()) {
        DebugWrite("注册Guid错误，可能不能捕捉设备的连接或移除\n");
        return false;
    }
    std::vector<hid::HidInterface> interfaces;
    bool listed = false;
    for (const auto& backend : hid::HidBackends()) {
        listed = backend->Enumerate(interfaces) || listed;
    }
    if (!listed) {
        DebugWrite("获取Hid设备信息失败");
        return false;
    }
    DebugWrite("开始枚举usb设备");
    for (int index = 0; index < kMaxEnumeratedInterfaces; ++index) {
        if (static_cast<std::size_t>(index) >= interfaces.size()) {
            DebugWrite("枚举usb设备出错,usb设备接口可能枚举完成了");
            break;
        }
        DebugWrite("枚举usb设备成功");
        if (auto device = TryOpenUsbPath(interfaces[static_cast<std::size_t>(index)])) {
            auto o = Objects();
            {
                std::lock_guard lock(o->deviceLock);
                o->device = std::move(device);
            }
            DebugWrite("连接目标设备成功!");
            return true;
        }
    }
    DebugWrite("连接目标设备失败，没有找到目标设备");
    return false;
}

bool ConnectUsbDevice(ILinkReceiver* receiver) {
    if (g_bDeviceConnected.load() != 0) {
        return false;
    }
    SetLinkReceiver(receiver);
    if (!BeginPhase(Phase::Closed, Phase::Opening)) {
        return false;
    }
    InitUsbObjects();
    if (!OpenUsbDevice()) {
        EndPhase(Phase::Closed);
        return false;
    }
    g_bReadThreadEnd.store(0);
    GetParamImage().SetConnected(true);
    g_bDeviceConnected.store(1);
    std::thread([o = Objects()] { ReaderBody(o); }).detach();
    EndPhase(Phase::Open);
    return true;
}

void CloseUsbDevice() {
    State().notices.WaitIdle(); // a notice in delivery (which may connect) ends first
    if (!BeginPhase(Phase::Open, Phase::Closing)) {
        return;
    }
    g_statusRecord.Clear();
    g_bDeviceConnected.store(0);
    GetParamImage().SetConnected(false);
    auto o = Objects();
    {
        std::lock_guard lock(o->lock); // a reader about to wait sees the flag first
    }
    o->readerWake.notify_all();
    if (!o->readThreadExit.Wait(milliseconds(kReaderExitWaitMs))) {
        DebugWrite("wait read thread exited time out !\n");
    }
    std::shared_ptr<hid::HidDevice> device;
    {
        std::lock_guard lock(o->deviceLock);
        device = std::move(o->device);
        o->path.clear();
    }
    if (device) {
        device->Close(); // also ends a read still pending
    }
    // The reader leaves at once now; it is detached, so waiting is only for tidiness.
    o->readerFinished.Wait(milliseconds(kReaderExitWaitMs));
    EndPhase(Phase::Closed);
}

std::string OpenedDevicePath() {
    auto o = Objects();
    std::lock_guard lock(o->deviceLock);
    return o->path;
}

ILinkReceiver* LinkReceiver() {
    return State().receiver.load();
}

void SetLinkReceiver(ILinkReceiver* receiver) {
    LinkState& s = State();
    if (s.receiver.exchange(receiver) != receiver) {
        s.notices.WaitIdle();
    }
}

int WriteUsbData(const std::uint8_t* data, std::size_t n) {
    std::uint8_t buffer[kReportSize] = {};
    if (data != nullptr) {
        std::memcpy(buffer, data, std::min(n, kReportSize));
    }
    return WritePaced(buffer);
}

Delivery ExchangeUsbData(const std::uint8_t* data, std::size_t n, const AnswerCheck& isAnswer) {
    std::uint8_t buffer[kReportSize] = {};
    if (data != nullptr) {
        std::memcpy(buffer, data, std::min(n, kReportSize));
    }
    if (LinkRefusesWrites()) {
        return Delivery::NotSent;
    }
    ThreadView& v = View();
    LinkObjects& o = *v.objects;
    hid::HidDevice* const device = v.device.get();
    AnswerWaiter waiter{&isAnswer};
    std::unique_lock lock(o.lock);
    ++o.writersIn;
    const WaitEnd previous = AwaitPreviousAnswer(lock, o, device);
    // Out of the writers during a write hold, so that the reader thread reads meanwhile.
    LeaveLocked(o);
    lock.unlock();
    if (previous == WaitEnd::TimedOut) {
        DebugWrite("WaitForSingleObject Time Out \r\n ");
    }
    AwaitWriteHold();
    lock.lock();
    ++o.writersIn;
    // Registered before the write, so an answer that comes at once is not missed.
    o.waiters.push_back(&waiter);
    lock.unlock();
    const bool written =
        !LinkRefusesWrites() && WriteReport(device, buffer) == static_cast<int>(kReportSize);
    lock.lock();
    if (written) {
        AwaitReports(lock, o, device, Clock::now() + AnswerWait(),
                     [&waiter] { return waiter.answered; });
    }
    const bool answered = waiter.answered;
    std::erase(o.waiters, &waiter);
    LeaveLocked(o);
    if (written && !answered) {
        // The answer wait has passed: the next writer does not wait for it a second time.
        o.acknowledged = true;
        if (o.sleepers > 0) {
            o.changed.notify_all();
        }
    }
    lock.unlock();
    if (!written) {
        return Delivery::NotSent;
    }
    if (!answered) {
        DebugWrite("no answer\n");
        return LinkRefusesWrites() ? Delivery::NotSent : Delivery::NoAnswer;
    }
    return Delivery::Answered;
}

std::chrono::milliseconds AnswerWait() {
    return milliseconds(g_answerWaitMs.load());
}

void SetAnswerWait(std::chrono::milliseconds wait) {
    g_answerWaitMs.store(static_cast<int>(wait.count()));
}

int WriteUsbDataNoWait(const std::uint8_t* data) {
    if (LinkRefusesWrites()) {
        return 0;
    }
    std::uint8_t buffer[kReportSize];
    std::memcpy(buffer, data, kReportSize);
    return WriteReport(View().device.get(), buffer);
}

int SendUsbCommand(std::initializer_list<int> values) {
    std::uint8_t buffer[kReportSize] = {kReportId};
    int taken = 0;
    for (int v : values) {
        if (v == -1 || taken == kMaxCommandValues) {
            break;
        }
        buffer[1 + taken++] = static_cast<std::uint8_t>(v);
    }
    return WriteUsbData(buffer, kReportSize);
}

int WriteStore(int address, std::span<const std::uint8_t> data) {
    if (address < 0 || address > 0xFFFF) {
        return 0;
    }
    const std::size_t length = std::min(data.size(), kMaxStoreChunk);
    std::uint8_t buffer[kReportSize] = {
        kReportId, kStoreWriteCommand, static_cast<std::uint8_t>(address >> 8),
        static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(length)};
    std::copy_n(data.begin(), length, buffer + 5);
    return WritePaced(buffer);
}

void SetReportHandler(ReportHandler handler) {
    g_reportHandler.store(handler);
}

void SetAckEvent() {
    if (t_dispatching) {
        return;
    }
    auto o = Objects();
    std::lock_guard lock(o->lock);
    o->acknowledged = true;
    if (o->sleepers > 0) {
        o->changed.notify_all();
    }
}

bool ReadUsbData() {
    auto o = Objects();
    const auto device = DeviceOf(*o);
    std::unique_lock lock(o->lock);
    ++o->sleepers;
    o->changed.wait(lock, [&] { return o->role == ReadRole::Free || o->ended; });
    --o->sleepers;
    if (o->ended) {
        return false;
    }
    o->role = ReadRole::Reader;
    return ReadAsHolder(lock, *o, device.get(), nullptr) == hid::ReadResult::Report;
}

void ReadUsbThreadProc() {
    ReaderBody(Objects());
}

} // namespace kv
