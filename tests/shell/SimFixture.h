#pragma once

#include "ShellFixture.h"

#include "link/ConnectionState.h"
#include "shell/AppState.h"
#include "shell/CMX2240v13View.h"
#include "shell/CSynDlg.h"
#include "shell/DeviceAdapter.h"
#include "shell/DeviceSimulator.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <cstdint>
#include <cstring>
#include <vector>

namespace kv::test {

using Bytes = std::vector<std::uint8_t>;

/// The application connected to an in-process simulated processor whose trace records
/// every command it received.
class SimFixture : public ShellFixture {
protected:
    void TearDown() override {
        ShellFixture::TearDown();
        device::StopSimulator();
        g_bParamChanged.store(0);
    }

    /// Starts the simulator and the application and waits for the first read-all.
    void StartConnected(sim::SimOptions options = {}) {
        options.tracePath = m_dir.filePath(QStringLiteral("trace.txt")).toStdString();
        ASSERT_TRUE(device::StartSimulator(options));
        Start();
        ASSERT_TRUE(WaitSynchronised(1));
    }

    /// Waits until the view has accepted `count` synchronisations in all.
    bool WaitSynchronised(int count) {
        if (!m_syncSpy) {
            m_syncSpy =
                std::make_unique<QSignalSpy>(m_frame->View(), &CMX2240v13View::synchronised);
        }
        return QTest::qWaitFor(
            [&] { return m_syncSpy->count() >= count && !GetAppState().syncDialog; }, 15000);
    }

    /// Every command the simulator received, oldest first (byte 0 is the report id 2).
    std::vector<Bytes> Received() const {
        std::vector<Bytes> commands;
        QFile file(m_dir.filePath(QStringLiteral("trace.txt")));
        if (!file.open(QIODevice::ReadOnly)) {
            return commands;
        }
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.startsWith("> ")) {
                continue;
            }
            Bytes bytes{2};
            // The bytes end where the line's reading ("  # seconds what") begins.
            const QByteArray hexPart = line.mid(2).split('#').front().trimmed();
            for (const QByteArray& hex : hexPart.split(' ')) {
                bytes.push_back(static_cast<std::uint8_t>(hex.toUInt(nullptr, 16)));
            }
            commands.push_back(bytes);
        }
        return commands;
    }

    /// Remembers how many commands the simulator has received so far.
    void Mark() { m_mark = Received().size(); }

    /// The commands received since Mark().
    std::vector<Bytes> ReceivedSinceMark() const {
        auto all = Received();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(m_mark, all.size())), all.end()};
    }

    /// The commands since Mark() with this command code (byte 1), skipping status polls.
    std::vector<Bytes> SinceMark(int code) const {
        std::vector<Bytes> out;
        for (const Bytes& b : ReceivedSinceMark()) {
            if (b.size() > 1 && b[1] == code) {
                out.push_back(b);
            }
        }
        return out;
    }

    /// Waits (at most 3 s) until the simulator has received `count` parameter commands for
    /// (module, item) since Mark(), and returns them. The simulator handles commands on a
    /// thread of its own, so its trace may lag behind the application by a moment.
    std::vector<Bytes> WaitParams(int module, int item, std::size_t count) const {
        [[maybe_unused]] const bool arrived =
            QTest::qWaitFor([&] { return ParamsSinceMark(module, item).size() >= count; }, 3000);
        QTest::qWait(20);
        return ParamsSinceMark(module, item);
    }

    /// The same for commands with a code (byte 1).
    std::vector<Bytes> WaitCommands(int code, std::size_t count) const {
        [[maybe_unused]] const bool arrived =
            QTest::qWaitFor([&] { return SinceMark(code).size() >= count; }, 3000);
        QTest::qWait(20);
        return SinceMark(code);
    }

    /// The parameter commands since Mark() for (module, item).
    std::vector<Bytes> ParamsSinceMark(int module, int item) const {
        std::vector<Bytes> out;
        for (const Bytes& b : SinceMark(9)) {
            if (b[3] == module && b[4] == item) {
                out.push_back(b);
            }
        }
        return out;
    }

    std::unique_ptr<QSignalSpy> m_syncSpy;
    std::size_t m_mark = 0;
};

/// The bytes of a parameter command 02 09 00 module item n followed by n copies of value.
inline Bytes ParamBytes(int module, int item, float value, int n = 1) {
    Bytes b(61, 0);
    b[0] = 2;
    b[1] = 9;
    b[3] = static_cast<std::uint8_t>(module);
    b[4] = static_cast<std::uint8_t>(item);
    b[5] = static_cast<std::uint8_t>(n);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < 4; ++i) {
            b[static_cast<std::size_t>(6 + 4 * k + i)] =
                static_cast<std::uint8_t>(bits >> (24 - 8 * i));
        }
    }
    return b;
}

} // namespace kv::test
