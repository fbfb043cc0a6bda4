#include "SimFixture.h"

#include "link/platform/VirtualBus.h"
#include "link/platform/VirtualBusBackend.h"
#include "sim/BusServer.h"

#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace kv::test {
namespace {

using namespace std::chrono_literals;

constexpr UsbId kOtherId{0x0483, 0x5750};

TEST(VirtualBusNames, SocketFileNamesFollowTheRule) {
    struct Case {
        const char* name;
        bool valid;
        UsbId id;
        const char* device;
    };
    const Case cases[] = {
        {"1209-0001-kvsim.sock", true, {0x1209, 0x0001}, "kvsim"},
        {"0483-5750-a-b.c.sock", true, {0x0483, 0x5750}, "a-b.c"},
        {"1209-0001-.sock", false, {}, ""},
        {"1209-0001-x.sockx", false, {}, ""},
        {"1209-0001-x", false, {}, ""},
        {"12g9-0001-x.sock", false, {}, ""},
        {"ABCD-0001-x.sock", false, {}, ""},
        {"1209_0001-x.sock", false, {}, ""},
        {".kvsim.1234", false, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = vbus::ParseSocketFileName(c.name);
        ASSERT_EQ(parsed.has_value(), c.valid);
        if (c.valid) {
            EXPECT_EQ(parsed->id, c.id);
            EXPECT_EQ(parsed->name, c.device);
            EXPECT_EQ(vbus::SocketFileName(c.id, c.device), c.name);
        }
    }
    EXPECT_EQ(ParseUsbId("1209:1"), (UsbId{0x1209, 0x0001}));
    EXPECT_EQ(ParseUsbId("FFFF:abcd"), (UsbId{0xFFFF, 0xABCD}));
    for (const char* bad : {"1209", "12345:1", "zz:1", "1209:", ":1", "1209:1:2"}) {
        EXPECT_FALSE(ParseUsbId(bad).has_value()) << bad;
    }
    EXPECT_EQ(FormatUsbId({0x1209, 0x0001}), "1209:0001");
}

TEST(VirtualBusNames, DirectoryComesFromTheEnvironment) {
    setenv("KV_HID_BUS", "/some/bus", 1);
    setenv("XDG_RUNTIME_DIR", "/run/user/77", 1);
    EXPECT_EQ(vbus::BusDirectory(), "/some/bus");
    unsetenv("KV_HID_BUS");
    EXPECT_EQ(vbus::BusDirectory(), "/run/user/77/kv-hid-bus");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(vbus::BusDirectory(), "/tmp/kv-hid-bus-" + std::to_string(getuid()));
}

/// Simulators served on a private virtual bus, with the link on the bus backend.
class BusFixture : public SimFixture {
protected:
    void SetUp() override {
        setenv("KV_HID_BUS", m_dir.Path().c_str(), 1);
        m_busBackend = std::make_shared<hid::VirtualBusBackend>();
        hid::SetHidBackends({m_busBackend});
        SetLinkReceiver(&m_receiver);
        GetParamImage().InitDefaults();
    }
    void TearDown() override {
        for (auto& server : m_servers) {
            server->Stop(); // the peer goes: the reader fails at once
        }
        SimFixture::TearDown();
        m_servers.clear();
        m_busSims.clear();
    }
    /// A simulator served on the bus under name with id.
    sim::BusServer& Serve(const std::string& name, UsbId id) {
        m_busSims.push_back(std::make_unique<sim::Simulator>());
        m_servers.push_back(
            std::make_unique<sim::BusServer>(*m_busSims.back(), m_dir.Path(), name, id));
        std::string error;
        EXPECT_TRUE(m_servers.back()->Start(error)) << error;
        return *m_servers.back();
    }

    std::shared_ptr<hid::VirtualBusBackend> m_busBackend;
    std::vector<std::unique_ptr<sim::Simulator>> m_busSims;
    std::vector<std::unique_ptr<sim::BusServer>> m_servers;
};

TEST_F(BusFixture, LinkSkipsAnotherDeviceOnTheBusAndTalksToTheProcessor) {
    Serve("aaa", kOtherId);
    sim::BusServer& processor = Serve("zzz", kDefaultProcessorId);
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(OpenedDevicePath(), processor.SocketPath());
    EXPECT_EQ(m_log.Count("枚举usb设备成功"), 2);
    SendUsbCommand({128, -1});
    SendUsbCommand({127, -1});
    EXPECT_TRUE(Eventually([] { return GetParamImage().CommVersion() == 18; }));
    EXPECT_EQ(GetParamImage().Model(), u"KV5930Q");
    EXPECT_EQ(m_busSims[0]->CommandsHandled(), 0);
    EXPECT_EQ(m_busSims[1]->CommandsHandled(), 2);
}

TEST_F(BusFixture, DeletingTheSocketIsAnUnplugAndPlugBringsItBack) {
    sim::BusServer& processor = Serve("proc", kDefaultProcessorId);
    const std::string path = processor.SocketPath();
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    ASSERT_EQ(unlink(path.c_str()), 0);
    EXPECT_TRUE(m_receiver.WaitForNotice(false, path));
    EXPECT_TRUE(Eventually([] { return g_bReadThreadEnd.load() == 1; })) << "reads fail";
    EXPECT_EQ(SendUsbCommand({14, -1}), 0);

    CloseUsbDevice();
    processor.Plug();
    EXPECT_TRUE(m_receiver.WaitForNotice(true, path));
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    SendUsbCommand({127, -1});
    EXPECT_TRUE(Eventually([] { return GetParamImage().CommVersion() == 18; }));
}

TEST_F(BusFixture, APeerThatGoesAwayIsOneRemoval) {
    sim::BusServer& processor = Serve("proc", kDefaultProcessorId);
    const std::string path = processor.SocketPath();
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    processor.Unplug();
    EXPECT_TRUE(m_receiver.WaitForNotice(false, path));
    std::this_thread::sleep_for(100ms); // a second notice would have come by now
    int removals = 0;
    for (const auto& n : m_receiver.Notices()) {
        removals += n.arrived ? 0 : 1;
    }
    EXPECT_EQ(removals, 1);
}

TEST_F(BusFixture, SeveralBackendsAreEnumeratedTogether) {
    // An in-process device of another vendor first, the processor on the socket bus.
    m_sim = std::make_unique<sim::Simulator>();
    m_bus = std::make_shared<sim::InProcessBus>();
    m_path = m_bus->Attach(*m_sim, "other", kOtherId);
    hid::SetHidBackends({m_bus, m_busBackend});
    sim::BusServer& processor = Serve("proc", kDefaultProcessorId);
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(OpenedDevicePath(), processor.SocketPath());
    SendUsbCommand({128, -1});
    EXPECT_TRUE(Eventually([] { return GetParamImage().Model() == u"KV5930Q"; }));

    // Both backends announce their devices.
    m_bus->Unplug(m_path);
    EXPECT_TRUE(m_receiver.WaitForNotice(false, m_path));
}

TEST_F(BusFixture, OneHostAtATimeOnEachBus) {
    sim::BusServer& processor = Serve("proc", kDefaultProcessorId);
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    // A second host on the socket bus is refused with the owner's process id.
    EXPECT_EQ(hid::OpenHidPath(processor.SocketPath()), nullptr);
    EXPECT_EQ(hid::LastOpenError(), "the processor is in use by another program (process " +
                                        std::to_string(getpid()) + ")");
    CloseUsbDevice();
    // Closed: the next host is served at once, and nothing is left to report.
    const auto next = hid::OpenHidPath(processor.SocketPath());
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(hid::LastOpenError(), "");
    next->Close();

    // The in-process bus keeps the same rule.
    m_sim = std::make_unique<sim::Simulator>();
    m_bus = std::make_shared<sim::InProcessBus>();
    m_path = m_bus->Attach(*m_sim, "inproc", kDefaultProcessorId);
    hid::SetHidBackends({m_bus});
    const auto first = hid::OpenHidPath(m_path);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(hid::OpenHidPath(m_path), nullptr);
    EXPECT_NE(hid::LastOpenError().find("in use"), std::string::npos);
    first->Close();
    EXPECT_NE(hid::OpenHidPath(m_path), nullptr);
}

// The host's reader handles the device's commands while it waits for a report; with no
// reader (none yet, or one that ended) the port's own thread does. Either way every command
// is taken once and answered in order.
TEST(InProcessBus, CommandsAreHandledWithOrWithoutAReader) {
    sim::Simulator sim;
    auto bus = std::make_shared<sim::InProcessBus>();
    const std::string path = bus->Attach(sim, "port");
    auto device = bus->Open(path);
    ASSERT_NE(device, nullptr);
    std::uint8_t command[61] = {2, 14};
    std::uint8_t report[61] = {};
    // Not read yet: the port's thread answers.
    ASSERT_EQ(device->Write(command, 100ms), 61);
    EXPECT_TRUE(Eventually([&] { return sim.CommandsHandled() == 1; }));
    // Read on: the reader answers while it waits, in the order written.
    ASSERT_TRUE(device->Read(report));
    EXPECT_EQ(report[1], 14);
    command[1] = 127;
    ASSERT_EQ(device->Write(command, 100ms), 61);
    command[1] = 14;
    ASSERT_EQ(device->Write(command, 100ms), 61);
    ASSERT_TRUE(device->Read(report));
    EXPECT_EQ(report[1], 127) << "the version report answers the first";
    ASSERT_TRUE(device->Read(report));
    EXPECT_EQ(report[1], 14);
    EXPECT_EQ(sim.CommandsHandled(), 3);
    // A command the reader has not come back for is the port thread's once the host closes.
    ASSERT_EQ(device->Write(command, 100ms), 61);
    device->Close();
    EXPECT_TRUE(Eventually([&] { return sim.CommandsHandled() == 4; }));
    bus->Detach(path);
}

TEST(VirtualBusGreeting, OnlyWellFormedGreetingsAreTaken) {
    struct Case {
        std::string packet;
        bool greeting;
        bool accepted;
        long pid;
    };
    const Case cases[] = {
        {vbus::AcceptedGreeting(), true, true, 0},
        {vbus::BusyGreeting(4242), true, false, 4242},
        {vbus::BusyGreeting(-3), true, false, 0},
        {"KVBUS/1 BUSY ", false, false, 0},
        {"KVBUS/1 BUSY 12x", false, false, 0},
        {"KVBUS/1 BUSY 99999999999999999999", false, false, 0},
        {"KVBUS/1 OK ", false, false, 0},
        {std::string(61, '\0'), false, false, 0},
        {"", false, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.packet);
        const auto g = vbus::ParseGreeting(c.packet);
        ASSERT_EQ(g.has_value(), c.greeting);
        if (g) {
            EXPECT_EQ(g->accepted, c.accepted);
            EXPECT_EQ(g->ownerPid, c.pid);
        }
    }
}

} // namespace
} // namespace kv::test
