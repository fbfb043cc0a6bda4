#pragma once

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "protocol/Dispatcher.h"
#include "sim/InProcessBus.h"
#include "sim/Simulator.h"
#include "support/TestReceiver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kv::test {

/// The link paired with an in-process simulator.
class SimFixture : public ::testing::Test {
protected:
    SimFixture() { InstallReportDispatcher(); }

    void StartSimulator(sim::SimOptions options = {}) {
        m_sim = std::make_unique<sim::Simulator>(std::move(options));
        m_bus = std::make_shared<sim::InProcessBus>();
        hid::SetHidBackends({m_bus});
        m_path = m_bus->Attach(*m_sim, "processor");
        GetParamImage().InitDefaults();
        SetLinkReceiver(&m_receiver);
    }
    void Connect() { ASSERT_TRUE(ConnectUsbDevice(&m_receiver)); }

    void TearDown() override {
        if (m_bus) {
            m_bus->Unplug(m_path); // the reader fails at once, so closing does not wait
        }
        CloseUsbDevice();
        UnregisterUsbNotification();
        hid::SetHidBackends({});
        if (m_bus) {
            m_bus->Detach(m_path);
        }
        SetLinkReceiver(nullptr);
        SetReadAllStarter(nullptr);
    }

    LogCapture m_log;
    TestReceiver m_receiver;
    TempDir m_dir;
    std::unique_ptr<sim::Simulator> m_sim;
    std::shared_ptr<sim::InProcessBus> m_bus;
    std::string m_path;
};

} // namespace kv::test
