#pragma once

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "link/Link.h"
#include "link/platform/UsbId.h"
#include "protocol/Dispatcher.h"
#include "support/FakeHid.h"
#include "support/TestReceiver.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kv::test {

/// The link over scripted devices only; every test starts disconnected.
class LinkFixture : public ::testing::Test {
protected:
    static constexpr const char* kProcessorPath = "fake:processor";

    void SetUp() override {
        unsetenv("KV_USB_ID");
        InstallReportDispatcher();
        m_backend = std::make_shared<FakeBackend>();
        hid::SetHidBackends({m_backend});
        GetParamImage().InitDefaults();
        SetLinkReceiver(&m_receiver);
    }

    void TearDown() override {
        for (const auto& device : m_backend->Opened()) {
            device->Fail(); // the reader leaves at once, so closing does not wait
        }
        CloseUsbDevice();
        UnregisterUsbNotification();
        hid::SetHidBackends({});
        SetLinkReceiver(nullptr);
    }

    /// Adds the processor to the backend and connects to it.
    std::shared_ptr<FakeDevice> Connect(bool autoAnswer) {
        m_backend->Add(
            {kProcessorPath, kDefaultProcessorId.vendorId, kDefaultProcessorId.productId});
        EXPECT_TRUE(ConnectUsbDevice(&m_receiver));
        auto device = m_backend->Opened().back();
        device->SetAutoAnswer(autoAnswer);
        return device;
    }

    LogCapture m_log;
    TestReceiver m_receiver;
    std::shared_ptr<FakeBackend> m_backend;
};

} // namespace kv::test
