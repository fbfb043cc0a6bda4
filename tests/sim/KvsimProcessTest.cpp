#include "SimFixture.h"

#include "link/platform/VirtualBusBackend.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace kv::test {
namespace {

/// The kvsim executable in a child process, with its standard input and output piped.
class KvsimProcess {
public:
    explicit KvsimProcess(std::vector<std::string> args) {
        int in[2];
        int out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        args.insert(args.begin(), KVSIM_PATH);
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, KVSIM_PATH, &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        m_stdin = in[1];
        m_stdout = out[0];
    }
    ~KvsimProcess() {
        if (m_pid > 0) {
            Signal(SIGKILL);
            Wait();
        }
        close(m_stdin);
        close(m_stdout);
    }
    KvsimProcess(const KvsimProcess&) = delete;
    KvsimProcess& operator=(const KvsimProcess&) = delete;

    /// The next line kvsim prints: first "kvsim: <socket path>" once it serves, then the
    /// acknowledgements of its commands; "" on time-out.
    std::string ReadyLine() {
        std::string line;
        while (line.empty() || line.back() != '\n') {
            pollfd fd{m_stdout, POLLIN, 0};
            if (poll(&fd, 1, 10000) <= 0) {
                return "";
            }
            char c;
            if (read(m_stdout, &c, 1) != 1) {
                return "";
            }
            line += c;
        }
        line.pop_back();
        return line;
    }
    void Send(const std::string& line) {
        const std::string text = line + "\n";
        [[maybe_unused]] const auto n = write(m_stdin, text.data(), text.size());
    }
    void Signal(int signal) { kill(m_pid, signal); }
    /// The exit status (or -1).
    int Wait() {
        int status = 0;
        if (m_pid <= 0 || waitpid(m_pid, &status, 0) != m_pid) {
            return -1;
        }
        m_pid = -1;
        return status;
    }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
};

std::atomic<int> g_readAllRequests{0};

class KvsimFixture : public SimFixture {
protected:
    void SetUp() override {
        setenv("KV_HID_BUS", m_dir.Path().c_str(), 1);
        hid::SetHidBackends({std::make_shared<hid::VirtualBusBackend>()});
        SetLinkReceiver(&m_receiver);
        GetParamImage().InitDefaults();
    }
    std::string SocketOf(const std::string& name, const char* id = "1209-0001") const {
        return m_dir.Path() + "/" + id + "-" + name + ".sock";
    }
    bool Exists(const std::string& path) const {
        struct stat st {};
        return stat(path.c_str(), &st) == 0;
    }
};

TEST_F(KvsimFixture, RunsAsADeviceTheLinkFindsAndTalksToInLockStep) {
    const std::string trace = m_dir.Path() + "/t.txt";
    KvsimProcess other({"--bus", m_dir.Path(), "--name", "aaa", "--id", "0483:5750"});
    KvsimProcess kvsim({"--bus", m_dir.Path(), "--name", "proc", "--trace", trace});
    ASSERT_EQ(other.ReadyLine(), "kvsim: " + SocketOf("aaa", "0483-5750"));
    const std::string path = SocketOf("proc");
    ASSERT_EQ(kvsim.ReadyLine(), "kvsim: " + path);

    g_readAllRequests = 0;
    SetReadAllStarter([] { ++g_readAllRequests; });
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(OpenedDevicePath(), path) << "the other vendor's device is skipped";
    for (int code : {128, 127, 129, 126, 7}) {
        EXPECT_EQ(SendUsbCommand({code, -1}), 61);
    }
    EXPECT_TRUE(Eventually([] { return GetParamImage().DspVersion() == u"2024-03-20"; }));
    EXPECT_EQ(GetParamImage().Model(), u"KV5930Q");
    EXPECT_EQ(m_log.Count("WaitForSingleObject Time Out \r\n "), 0);

    kvsim.Send("report 5");
    EXPECT_TRUE(Eventually([] { return g_readAllRequests.load() == 1; }));
    EXPECT_EQ(kvsim.ReadyLine(), "kvsim: sent report 5");

    kvsim.Send("unplug");
    EXPECT_EQ(kvsim.ReadyLine(), "kvsim: unplugged");
    EXPECT_TRUE(m_receiver.WaitForNotice(false, path));
    EXPECT_TRUE(Eventually([&] { return !Exists(path); }));
    CloseUsbDevice();
    kvsim.Send("plug");
    EXPECT_EQ(kvsim.ReadyLine(), "kvsim: plugged: " + path);
    EXPECT_TRUE(m_receiver.WaitForNotice(true, path));
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    EXPECT_EQ(SendUsbCommand({14, -1}), 61);
    EXPECT_TRUE(Eventually([] { return g_statusRecord.Byte(8) == 235; }));

    // Killing it is a removal too.
    const auto before = m_receiver.Notices().size();
    kvsim.Signal(SIGKILL);
    kvsim.Wait();
    EXPECT_TRUE(Eventually([&] {
        const auto notices = m_receiver.Notices();
        return notices.size() > before && !notices.back().arrived && notices.back().path == path;
    }));

    std::ifstream in(trace);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0].substr(0, 8), "> 80 00 ");
    EXPECT_EQ(lines[1].substr(0, 29), "< 80 4B 56 35 39 33 30 51 00 ");
    EXPECT_EQ(lines[0].substr(2u + 60 * 3 - 1, 4), "  # ") << lines[0];
    EXPECT_TRUE(lines[0].ends_with(" model?")) << lines[0];
}

TEST_F(KvsimFixture, DeletingTheSocketUnplugsAndTerminationRemovesIt) {
    KvsimProcess kvsim({"--bus", m_dir.Path(), "--name", "proc"});
    const std::string path = SocketOf("proc");
    ASSERT_EQ(kvsim.ReadyLine(), "kvsim: " + path);
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    ASSERT_EQ(unlink(path.c_str()), 0);
    EXPECT_TRUE(m_receiver.WaitForNotice(false, path));
    EXPECT_TRUE(Eventually([] { return g_bReadThreadEnd.load() == 1; }));
    CloseUsbDevice();

    kvsim.Send("plug");
    EXPECT_TRUE(m_receiver.WaitForNotice(true, path));
    kvsim.Signal(SIGTERM);
    const int status = kvsim.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(Exists(path));
}

TEST_F(KvsimFixture, StandardInputPressesAChosenKeyOrRefusesALearning) {
    KvsimProcess kvsim(
        {"--bus", m_dir.Path(), "--name", "proc", "--learn", "manual", "--learn-delay-ms", "20"});
    ASSERT_EQ(kvsim.ReadyLine(), "kvsim: " + SocketOf("proc"));
    ASSERT_TRUE(ConnectUsbDevice(&m_receiver));
    ParamImage& image = GetParamImage();

    EXPECT_EQ(SendUsbCommand({96, 10, -1}), 61);
    EXPECT_FALSE(Eventually([&] { return image.HubByte(10) != 0; }, std::chrono::milliseconds(300)))
        << "manual: nothing until a key is pressed";
    kvsim.Send("press 0x3A");
    EXPECT_EQ(kvsim.ReadyLine(), "kvsim: pressed key code 58");
    EXPECT_TRUE(Eventually([&] { return image.HubByte(10) == 0x3A; }));
    EXPECT_EQ(image.HubByte(0), 1);

    // Standard input and the bus are read independently: each console command is confirmed
    // (or followed by one that is) before the next learning request goes out on the bus.
    kvsim.Send("learn refuse");
    EXPECT_EQ(kvsim.ReadyLine(), "kvsim: learning requests: refuse");
    kvsim.Send("press 7"); // nothing pending: refused on the console, nothing sent
    kvsim.Send("learn refuse");
    EXPECT_EQ(kvsim.ReadyLine(), "kvsim: learning requests: refuse");
    EXPECT_EQ(SendUsbCommand({96, 10, -1}), 61);
    EXPECT_TRUE(Eventually([&] { return image.HubByte(0) == 0; }));
    EXPECT_EQ(image.HubByte(10), 0x3A) << "a refusal keeps the learned code";

    kvsim.Send("learn silent");
    EXPECT_EQ(kvsim.ReadyLine(), "kvsim: learning requests: silent");
    image.SetHubByte(0, 0x55);
    EXPECT_EQ(SendUsbCommand({96, 3, -1}), 61);
    EXPECT_FALSE(
        Eventually([&] { return image.HubByte(0) != 0x55; }, std::chrono::milliseconds(300)));
    const std::uint8_t key3 = image.HubByte(3);
    EXPECT_EQ(SendUsbCommand({97, -1}), 61);
    EXPECT_EQ(SendUsbCommand({14, -1}), 61); // paced: the stop has been answered
    kvsim.Send("press 0x10");                // the stop ended the learning
    EXPECT_FALSE(
        Eventually([&] { return image.HubByte(3) != key3; }, std::chrono::milliseconds(200)));
}

TEST_F(KvsimFixture, RejectsBadOptions) {
    for (std::vector<std::string> args : {std::vector<std::string>{"--latency-us", "-1"},
                                          {"--id", "12345:1"},
                                          {"--state", m_dir.Path() + "/missing.amod"},
                                          {"--learn", "sometimes"},
                                          {"--frobnicate", "1"}}) {
        args.insert(args.begin(), {"--bus", m_dir.Path()});
        KvsimProcess kvsim(args);
        const int status = kvsim.Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << args[2];
    }
}

} // namespace
} // namespace kv::test
