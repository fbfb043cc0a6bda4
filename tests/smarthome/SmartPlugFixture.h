#pragma once

#include "shell/SimFixture.h"

#include "image/ParamImage.h"
#include "shell/CInfoDlg.h"
#include "shell/CSynDlg.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/ToolWindows.h"
#include "sim/ZWaveNetwork.h"
#include "smarthome/CDialogHomeTheater.h"
#include "smarthome/CDialogZwaveRemoter.h"
#include "smarthome/KeyFile.h"
#include "smarthome/SceneRunner.h"
#include "smarthome/ZwaveNodes.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <string>
#include <utility>
#include <vector>

namespace kv::test {

/// The application on the simulated processor with devices in its Z-Wave network; the key
/// files live in the test's own documents folder. Tests click through the smart-plug window.
class SmartPlugFixture : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        RegisterSmartHomeWindows();
        g_bZWaveSynchronised.store(0);
        SetKeyDirectory(m_dir.filePath(QStringLiteral("Documents/593/Plug")));
    }
    void TearDown() override {
        WaitSceneThread(std::chrono::seconds(30));
        if (LanguageIndex() != kChinese && m_frame) {
            m_frame->OnCommand(cmd::kLanguage);
        }
        SimFixture::TearDown();
        SetKeyDirectory(QString());
        for (ToolWindow which : {ToolWindow::SmartPlug, ToolWindow::ZwaveEdit,
                                 ToolWindow::ZwaveSwitch, ToolWindow::ZwaveLight}) {
            RegisterToolWindow(which, nullptr);
        }
    }

    template <typename Fn>
    auto Network(Fn&& fn) {
        return device::RunningSimulator()->WithZWave(std::forward<Fn>(fn));
    }

    /// Starts connected with these devices as nodes 2, 3, ...
    void StartWith(const std::vector<sim::ZWaveDeviceKind>& kinds) {
        StartConnected();
        m_kinds = kinds;
        Network([&kinds](sim::ZWaveNetwork& n) {
            for (sim::ZWaveDeviceKind kind : kinds) {
                n.Join(kind);
            }
            n.SetLearnDelay(std::chrono::milliseconds(100));
            return 0;
        });
    }

    /// Opens the smart-plug window and waits for its hub read; the devices are named
    /// "Plug 2", "Plug 3", ... (dimmers are dimmers, the others switches).
    CDialogHomeTheater* OpenWindow() {
        m_frame->OnCommand(cmd::kSmartPlug);
        m_window =
            qobject_cast<CDialogHomeTheater*>(GetAppState().OpenWindow(ToolWindow::SmartPlug));
        EXPECT_NE(m_window, nullptr);
        if (!m_window) {
            return nullptr;
        }
        if (device::IsConnected()) {
            EXPECT_TRUE(QTest::qWaitFor([] { return g_bZWaveSynchronised.load() == 1; }, 10000));
            EXPECT_TRUE(QTest::qWaitFor([] { return !GetAppState().syncDialog; }, 5000));
        }
        ParamImage& image = GetParamImage();
        for (int node : zwave::PresentDevices(image)) {
            const std::size_t i = static_cast<std::size_t>(node - zwave::kFirstDeviceNode);
            const bool dimmer = i < m_kinds.size() && m_kinds[i] == sim::ZWaveDeviceKind::Dimmer;
            zwave::StoreDeviceRecord(
                image, node,
                {dimmer ? zwave::kDimmerType : zwave::kSwitchType,
                 u"Plug " + std::u16string(1, static_cast<char16_t>(u'0' + node))});
        }
        m_window->RefreshFromImage();
        return m_window;
    }

    static void Click(QWidget* page, int id) {
        auto* button = qobject_cast<QPushButton*>(FindControl(page, id));
        ASSERT_NE(button, nullptr) << "control " << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    static void ClickRow(QTreeWidget* list, int row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        ASSERT_NE(item, nullptr) << "row " << row;
        list->scrollToItem(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(item).center());
    }

    /// Marks the trace, presses the scene page's Test button and waits up to timeoutMs for
    /// the scene to end and the synchronisation dialog to close; syncText, when given, gets
    /// the text the dialog showed. False when the scene did not end in time.
    bool TestScene(QWidget* page, int timeoutMs, QString* syncText = nullptr) {
        QTimer::singleShot(100, [syncText] {
            CSynDlg* sync = GetAppState().syncDialog;
            if (syncText && sync) {
                *syncText = sync->Text();
            }
        });
        Mark();
        Click(page, CDialogZwaveRemoter::kTestId);
        return QTest::qWaitFor([] { return !SceneRunning() && !GetAppState().syncDialog; },
                               timeoutMs);
    }

    /// Picks an entry of a combo box with the keyboard, as a person would.
    static void Choose(QComboBox* combo, int index) {
        combo->setFocus();
        while (combo->currentIndex() < index) {
            QTest::keyClick(combo, Qt::Key_Down);
        }
        while (combo->currentIndex() > index) {
            QTest::keyClick(combo, Qt::Key_Up);
        }
    }

    /// Each row of a list: its columns joined by "|".
    static std::vector<QString> Rows(const QTreeWidget* list) {
        std::vector<QString> rows;
        for (int r = 0; r < list->topLevelItemCount(); ++r) {
            const QTreeWidgetItem* item = list->topLevelItem(r);
            QStringList columns;
            for (int c = 0; c < item->columnCount(); ++c) {
                columns << item->text(c);
            }
            rows.push_back(columns.join(QLatin1Char('|')));
        }
        return rows;
    }

    /// The Basic Set frames the simulator received since Mark(): (node, value) each.
    std::vector<std::pair<int, int>> BasicSets() const {
        std::vector<std::pair<int, int>> sets;
        for (const Bytes& b : SinceMark(0x12)) {
            if (b.size() > 12 && b[3] == 1 && b[6] == 0x13 && b[9] == 0x20) {
                sets.emplace_back(b[7], b[11]);
            }
        }
        return sets;
    }

    static QString InfoText() {
        auto* info = qobject_cast<CInfoDlg*>(GetAppState().OpenWindow(ToolWindow::Info));
        return info && info->isVisible() ? info->Text() : QString();
    }

    /// Closes the information window, so that the next notice is not mistaken for this one.
    static void CloseInfo() {
        if (QWidget* info = GetAppState().OpenWindow(ToolWindow::Info)) {
            info->hide();
        }
    }

    CDialogHomeTheater* m_window = nullptr;
    std::vector<sim::ZWaveDeviceKind> m_kinds;
};

} // namespace kv::test
