#include "smarthome/SmartPlugFixture.h"

#include "controls/CXBmpSlider.h"
#include "shell/CSynDlg.h"
#include "shell/CWaitDlg.h"
#include "smarthome/CDialogZwaveRemoter.h"
#include "smarthome/CRemoteLearnDlg.h"
#include "smarthome/SceneRecord.h"
#include "smarthome/ZwaveDevices.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>

#include <functional>

#include <string>

namespace kv::test {
namespace {

using sim::ZWaveDeviceKind;
using zwave::SceneStep;

constexpr int kMovie = 1;

/// kvsim in a child process, serving the test's own bus; its standard input takes console
/// lines.
class KvsimChild {
public:
    KvsimChild(const QString& bus, const QString& trace) {
        m_process.start(QStringLiteral(KVSIM_PATH),
                        {QStringLiteral("--bus"), bus, QStringLiteral("--trace"), trace});
    }
    ~KvsimChild() {
        m_process.write("quit\n");
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    /// The next line kvsim prints ("kvsim: ..."); empty when none came within 5 s.
    QString NextLine() {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(5000)) {
                return {};
            }
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    /// Sends a console line and returns kvsim's answer.
    QString Send(const char* line) {
        m_process.write(QByteArray(line) + '\n');
        return NextLine();
    }

private:
    QProcess m_process;
};

/// A dimmer (node 2) and a smart plug (node 3) in the simulated network; the test goes from
/// learning a key on the plug to running a scene that sends it, as a person would.
class SceneEndToEndTest : public SmartPlugFixture {
protected:
    /// Learns and names a key, builds, saves and tests the Movie scene; storedMovie gives the
    /// 56 bytes the processor holds for it.
    void MovieStory(const std::function<std::vector<std::uint8_t>()>& storedMovie);

    /// The data of the last smart-home memory write to this address since Mark().
    std::vector<std::uint8_t> LastMemoryWrite(int address) const {
        std::vector<std::uint8_t> data;
        for (const Bytes& b : SinceMark(0x13)) {
            if (b.size() > 5 && b[2] * 256 + b[3] == address) {
                const auto begin = b.begin() + 5;
                data.assign(begin, begin + std::min<std::ptrdiff_t>(b[4], b.end() - begin));
            }
        }
        return data;
    }

    /// The commands of a scene the simulator received since Mark(), oldest first, each with
    /// the second it arrived: "set NODE=VALUE" for a Basic Set, "hdmi INPUT" for the HDMI input.
    std::vector<std::pair<std::string, double>> SceneCommands() const {
        std::vector<std::pair<std::string, double>> out;
        QFile file(m_dir.filePath(QStringLiteral("trace.txt")));
        if (!file.open(QIODevice::ReadOnly)) {
            return out;
        }
        std::size_t command = 0;
        for (const QByteArray& line : file.readAll().split('\n')) {
            if (!line.startsWith("> ")) {
                continue;
            }
            if (command++ < m_mark) {
                continue;
            }
            const QList<QByteArray> parts = line.mid(2).split('#');
            Bytes b{2};
            for (const QByteArray& hex : parts.front().trimmed().split(' ')) {
                b.push_back(static_cast<std::uint8_t>(hex.toUInt(nullptr, 16)));
            }
            const double seconds =
                parts.size() > 1 ? parts[1].trimmed().split(' ').front().toDouble() : -1;
            if (b.size() > 12 && b[1] == 0x12 && b[3] == 1 && b[6] == 0x13 && b[9] == 0x20) {
                out.emplace_back("set " + std::to_string(b[7]) + "=" + std::to_string(b[11]),
                                 seconds);
            } else if (b.size() > 9 && b[1] == 9 && b[3] == 4 && b[4] == 33) {
                out.emplace_back("hdmi " + std::to_string(b[9]), seconds);
            }
        }
        return out;
    }

    std::vector<std::uint8_t> StoredScene(int scene) {
        return device::RunningSimulator()->Inspect([scene](const sim::SimProcessor& p) {
            const auto& memory = p.SmartHomeMemory();
            const auto begin = memory.begin() + zwave::kSceneMemoryAddress + 56 * scene;
            return std::vector<std::uint8_t>(begin, begin + 56);
        });
    }
};

void SceneEndToEndTest::MovieStory(const std::function<std::vector<std::uint8_t>()>& storedMovie) {
    ASSERT_NE(OpenWindow(), nullptr);

    // The plug learns its fifth key, which is then named "Projector".
    QTest::mouseClick(m_window->Button(CDialogHomeTheater::kLearnTabId), Qt::LeftButton);
    CRemoteLearnDlg* keys = m_window->KeyPage();
    ASSERT_TRUE(keys->isVisible());
    Choose(keys->DeviceCombo(), 1);
    ASSERT_EQ(keys->SelectedNode(), 3);
    ClickRow(keys->KeyList(), 4);
    Mark();
    Click(keys, CRemoteLearnDlg::kLearnId);
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            const KeyFile file = LoadKeyFile(3);
            return file.keys.size() > 4 && file.keys[4].Learned() && !GetAppState().waitDialog;
        },
        10000));
    EXPECT_EQ(BasicSets(), (std::vector<std::pair<int, int>>{{3, zwave::kFirstKeyLearn + 4}}));
    keys->NameEdit()->selectAll();
    QTest::keyClicks(keys->NameEdit(), QStringLiteral("Projector"));
    Click(keys, CRemoteLearnDlg::kRenameId);
    EXPECT_EQ(GetKeyName(3, 4), QStringLiteral("Projector"));

    // The Movie scene: the dimmer at 30, 2 s, HDMI input 3, the projector key.
    QTest::mouseClick(m_window->Button(CDialogHomeTheater::kSceneTabId), Qt::LeftButton);
    CDialogZwaveRemoter* page = m_window->ScenePage();
    ASSERT_TRUE(page->isVisible());
    Choose(page->SceneCombo(), kMovie);
    ASSERT_EQ(page->SceneCombo()->currentText(), QStringLiteral("电影"));
    Choose(page->DeviceCombo(), 0);
    page->LevelSlider()->setFocus();
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(page->LevelSlider(), Qt::Key_PageUp);
    }
    Click(page, CDialogZwaveRemoter::kAddValueId);
    page->DelaySlider()->setFocus();
    QTest::keyClick(page->DelaySlider(), Qt::Key_Right);
    Click(page, CDialogZwaveRemoter::kAddDelayId);
    Choose(page->HdmiCombo(), 2);
    Click(page, CDialogZwaveRemoter::kAddHdmiId);
    Choose(page->DeviceCombo(), 1);
    ASSERT_EQ(page->KeyCombo()->count(), 1) << "only the learned key is offered";
    EXPECT_EQ(page->KeyCombo()->currentText(), QStringLiteral("Projector"));
    Click(page, CDialogZwaveRemoter::kAddKeyId);
    EXPECT_EQ(Rows(page->StepList()),
              (std::vector<QString>{QStringLiteral("1|Plug 2|30"), QStringLiteral("2|延时|2秒"),
                                    QStringLiteral("3|HDMI|HDMI3"),
                                    QStringLiteral("4|Plug 3|遥控键:Projector")}));

    Click(page, CDialogZwaveRemoter::kSaveId);
    EXPECT_EQ(InfoText(), QStringLiteral("保存完成"));
    std::vector<std::uint8_t> expected(56, 0);
    const std::uint8_t movie[] = {2, 30, zwave::kDelayTarget, 2, zwave::kHdmiTarget, 2, 3, 132};
    std::copy(std::begin(movie), std::end(movie), expected.begin());
    EXPECT_TRUE(QTest::qWaitFor([&] { return storedMovie() == expected; }, 3000));

    // Test runs the saved scene behind the synchronisation dialog, without a question.
    QString syncText;
    ASSERT_TRUE(TestScene(page, 20000, &syncText));
    EXPECT_TRUE(m_boxes->shown.empty());
    EXPECT_EQ(syncText, QStringLiteral("载入情景中……"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return SceneCommands().size() >= 3; }, 3000));
    const auto commands = SceneCommands();
    std::vector<std::string> order;
    for (const auto& c : commands) {
        order.push_back(c.first);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"set 2=30", "hdmi 2", "set 3=132"}));
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_GE(commands[1].second - commands[0].second, 2.0) << "the delay of 2 s between";
    EXPECT_TRUE(LastSceneRun().Complete());
}

TEST_F(SceneEndToEndTest, AKeyLearnedAndRenamedEndsUpInAMovieSceneThatRunsInOrder) {
    StartWith({ZWaveDeviceKind::Dimmer, ZWaveDeviceKind::Plug});
    MovieStory([this] { return StoredScene(kMovie); });
    EXPECT_EQ(Network([](sim::ZWaveNetwork& n) { return n.Nodes().at(2).value; }), 30);
}

TEST_F(SceneEndToEndTest, TheSameAgainstKvsimInItsOwnProcess) {
    KvsimChild kvsim(m_dir.filePath(QStringLiteral("bus")),
                     m_dir.filePath(QStringLiteral("trace.txt")));
    ASSERT_TRUE(kvsim.NextLine().startsWith(QStringLiteral("kvsim: "))) << "kvsim serves";
    for (const char* line : {"zwave add dimmer", "zwave add plug", "zwave learn ok 100"}) {
        const QString answer = kvsim.Send(line);
        ASSERT_TRUE(answer.startsWith(QStringLiteral("kvsim: "))) << line;
    }
    m_kinds = {ZWaveDeviceKind::Dimmer, ZWaveDeviceKind::Plug};
    Start(); // the application finds kvsim on the bus
    ASSERT_TRUE(WaitSynchronised(1));
    Mark();
    MovieStory([this] { return LastMemoryWrite(zwave::kSceneMemoryAddress + 56 * kMovie); });
    // kvsim's own account: the dimmer at 30, the plug's learned key.
    const QString list = kvsim.Send("zwave list");
    EXPECT_TRUE(list.contains(QStringLiteral("node 2 dimmer value 30"))) << list.toStdString();
    EXPECT_TRUE(list.contains(QStringLiteral("keys 4"))) << list.toStdString();
}

} // namespace
} // namespace kv::test
