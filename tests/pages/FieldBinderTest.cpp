#include "protocol/RecordingSink.h"

#include "controls/CXBmpSlider.h"
#include "image/ParamImage.h"
#include "pages/FieldBinder.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QUndoStack>
#include <QWidget>

#include <gtest/gtest.h>

namespace kv {
namespace {

using namespace fields;
using test::RecordingSink;
using test::ValueOf;
using test::WordOf;

QString MsText(double v, int) {
    return QStringLiteral("%1ms").arg(static_cast<int>(v));
}

QString ShiftText(double v, int language) {
    return v <= 1 ? (language == 1 ? QStringLiteral("Off") : QStringLiteral("关闭"))
                  : QStringLiteral("%1Hz").arg(static_cast<int>(v));
}

// A page of a few controls: a microphone volume slider with its value text, the echo time of
// the selected channel as slider and edit, the routing pair of Mic 2, the shift frequency of
// the selected channel, and a ribbon-like level slider sent with the volume offset.
constexpr FieldBinding kControls[] = {
    {1056, &micInputVolume, 1, 1160},
    {1000, &echoTime, kChannelEntry, 1038, &MsText},
    {1001, &echoTime, kChannelEntry},
    {1192, &micToChannelA, 1},
    {1193, &micToChannelB, 1},
    {1002, &micShiftFreqA, kChannelEntry, 1003, &ShiftText, nullptr, &micShiftFreqB},
    {32829, &micVolume, 0, 0, nullptr, &StoreAndSendLevel},
};

class FieldBinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetParamImage().InitDefaults();
        SetEditHistory(&m_stack, [this] { m_binder.RefreshFromImage(); });
        m_volume = new CXBmpSlider(&m_page, 1056);
        m_volumeText = new QLabel(&m_page);
        m_time = new CXBmpSlider(&m_page, 1000);
        m_timeText = new QLineEdit(&m_page);
        m_timeEdit = new QLineEdit(&m_page);
        m_toA = new QRadioButton(&m_page);
        m_toB = new QRadioButton(&m_page);
        m_shift = new CXBmpSlider(&m_page, 1002);
        m_shiftText = new QLabel(&m_page);
        m_level = new QSlider(Qt::Horizontal, &m_page);
        m_binder.AttachAll([this](int control) -> QWidget* {
            switch (control) {
            case 1056:
                return m_volume;
            case 1160:
                return m_volumeText;
            case 1000:
                return m_time;
            case 1038:
                return m_timeText;
            case 1001:
                return m_timeEdit;
            case 1192:
                return m_toA;
            case 1193:
                return m_toB;
            case 1002:
                return m_shift;
            case 1003:
                return m_shiftText;
            case 32829:
                return m_level;
            default:
                return nullptr;
            }
        });
        m_binder.SetHook(echoTime, [this](double v) {
            if (v >= 2 && v <= 6) {
                m_binder.EditTarget(reverbPredelay, m_binder.Channel(), v * 10);
            }
        });
        m_binder.RefreshFromImage();
    }
    void TearDown() override { SetEditHistory(nullptr); }

    QUndoStack m_stack;
    QWidget m_page;
    FieldBinder m_binder{kControls};
    CXBmpSlider* m_volume{};
    QLabel* m_volumeText{};
    CXBmpSlider* m_time{};
    QLineEdit* m_timeText{};
    QLineEdit* m_timeEdit{};
    QRadioButton* m_toA{};
    QRadioButton* m_toB{};
    CXBmpSlider* m_shift{};
    QLabel* m_shiftText{};
    QSlider* m_level{};
};

TEST_F(FieldBinderTest, RangesComeFromTheRangeTable) {
    EXPECT_EQ(m_volume->Minimum(), 0);
    EXPECT_EQ(m_volume->Maximum(), 100);
    EXPECT_EQ(m_time->Minimum(), 2);
    EXPECT_EQ(m_time->Maximum(), 260);
    EXPECT_EQ(m_shift->Minimum(), 1);
    EXPECT_EQ(m_shift->Maximum(), 8);
}

TEST_F(FieldBinderTest, AnEditIsStoredSentAndShown) {
    struct Case {
        int control;
        int channel;
        double value;
        int slot;
        std::int32_t stored; ///< slot value (bits for floats)
        int module;
        int item;
        float sent;
    };
    const Case cases[] = {
        {1056, 0, 85, micInputVolume.SlotOf(1), 85, 1, 5, 0.85f},
        {1000, 0, 120, echoTime.SlotOf(0), std::bit_cast<std::int32_t>(120.0f), 2, 10, -1},
        {1000, 1, 300, echoTime.SlotOf(1), std::bit_cast<std::int32_t>(260.0f), 2, 23, -1},
        {32829, 0, 42, micVolume.slot, 42, 1, 14, static_cast<float>(0.42 + 0.0005)},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        m_binder.SetChannel(c.channel);
        m_binder.Edit(c.control, c.value);
        EXPECT_EQ(GetParamImage().Slot(c.slot), c.stored) << c.control;
        const auto commands = sink.Commands();
        ASSERT_FALSE(commands.empty()) << c.control;
        EXPECT_EQ(commands[0].Module(), c.module) << c.control;
        EXPECT_EQ(commands[0].Item(), c.item) << c.control;
        if (c.sent >= 0) {
            EXPECT_EQ(ValueOf(commands[0], 0), c.sent) << c.control;
        }
    }
    EXPECT_EQ(m_volumeText->text(), QStringLiteral("85"));
    EXPECT_EQ(m_level->value(), 42);
}

TEST_F(FieldBinderTest, DraggingTheSliderStoresEveryStepAndUndoesAsOneStep) {
    m_volume->SetSkin(CXBmpSlider::Skin::LongHorizontal);
    m_volume->show();
    const QRect thumb = m_volume->ThumbRect();
    RecordingSink sink;
    QTest::mousePress(m_volume, Qt::LeftButton, {}, thumb.center());
    for (int dx = 10; dx <= 40; dx += 10) {
        QTest::mouseMove(m_volume, thumb.center() + QPoint(dx, 0));
    }
    QTest::mouseRelease(m_volume, Qt::LeftButton, {}, thumb.center() + QPoint(40, 0));
    const int moved = GetParamImage().Int(micInputVolume, 1);
    ASSERT_GT(moved, 0);
    EXPECT_GE(sink.Commands().size(), 4u); // the press and every pointer step
    EXPECT_EQ(m_volumeText->text(), QString::number(moved));
    ASSERT_EQ(m_stack.count(), 1);

    sink.Clear();
    m_stack.undo();
    EXPECT_EQ(GetParamImage().Int(micInputVolume, 1), 0);
    ASSERT_EQ(sink.Commands().size(), 1u);
    EXPECT_EQ(sink.Commands()[0].Item(), 5);
    EXPECT_EQ(ValueOf(sink.Commands()[0], 0), 0.0f);
    EXPECT_EQ(m_volume->Pos(), 0);
    m_stack.redo();
    EXPECT_EQ(GetParamImage().Int(micInputVolume, 1), moved);
}

TEST_F(FieldBinderTest, SeparateEditsAreSeparateSteps) {
    m_binder.Edit(1056, 10);
    m_binder.Edit(1056, 20);
    m_binder.Edit(1056, 20); // no change, no step
    EXPECT_EQ(m_stack.count(), 2);
    m_stack.undo();
    EXPECT_EQ(GetParamImage().Int(micInputVolume, 1), 10);
}

TEST_F(FieldBinderTest, AHookRuleIsPartOfTheSameStep) {
    GetParamImage().SetFloat(reverbPredelay, 1, 100.0f);
    GetParamImage().SetFloat(echoTime, 1, 250.0f);
    m_binder.SetChannel(1);
    RecordingSink sink;
    m_binder.Edit(1000, 4);
    EXPECT_EQ(GetParamImage().Float(echoTime, 1), 4.0f);
    EXPECT_EQ(GetParamImage().Float(reverbPredelay, 1), 40.0f);
    std::vector<std::pair<int, int>> sent;
    for (const auto& r : sink.Commands()) {
        sent.emplace_back(r.Module(), r.Item());
    }
    EXPECT_EQ(sent, (std::vector<std::pair<int, int>>{{2, 23}, {3, 21}}));
    EXPECT_EQ(m_timeText->text(), QStringLiteral("4ms"));
    ASSERT_EQ(m_stack.count(), 1);

    sink.Clear();
    m_stack.undo();
    EXPECT_EQ(GetParamImage().Float(reverbPredelay, 1), 100.0f);
    EXPECT_EQ(GetParamImage().Float(echoTime, 1), 250.0f);
    EXPECT_EQ(sink.Commands().size(), 2u);
}

TEST_F(FieldBinderTest, TypedTextThatIsNotANumberKeepsTheValue) {
    GetParamImage().SetFloat(echoTime, 0, 120.0f);
    m_binder.RefreshFromImage();
    struct Case {
        const char* typed;
        float stored;
        const char* shown;
    };
    const Case cases[] = {{"abc", 120.0f, "120"}, {"", 120.0f, "120"}, {"1e999", 120.0f, "120"},
                          {"90.4", 90.0f, "90"},  {"1", 2.0f, "2"},    {"999", 260.0f, "260"}};
    for (const Case& c : cases) {
        RecordingSink sink;
        m_timeEdit->setText(QString::fromUtf8(c.typed));
        emit m_timeEdit->editingFinished();
        EXPECT_EQ(GetParamImage().Float(echoTime, 0), c.stored) << c.typed;
        EXPECT_EQ(m_timeEdit->text(), QString::fromUtf8(c.shown)) << c.typed;
    }
}

TEST_F(FieldBinderTest, ValuesOutOfRangeAreShownClampedWithoutSending) {
    ParamImage& image = GetParamImage();
    image.SetInt(micInputVolume, 1, 250);
    image.SetFloat(echoTime, 0, std::numeric_limits<float>::quiet_NaN());
    image.SetInt(micShiftFreqA, 0, -7);
    RecordingSink sink;
    m_binder.RefreshFromImage();
    EXPECT_EQ(m_volume->Pos(), 100);
    EXPECT_EQ(m_volumeText->text(), QStringLiteral("100"));
    EXPECT_EQ(m_time->Pos(), 2);
    EXPECT_EQ(m_shiftText->text(), QStringLiteral("关闭"));
    EXPECT_TRUE(sink.Commands().empty());
    EXPECT_EQ(image.Int(micInputVolume, 1), 250);
}

TEST_F(FieldBinderTest, RoutingRadioSendsBothFlagsAndChecksItsPartner) {
    RecordingSink sink;
    m_toB->click();
    EXPECT_EQ(GetParamImage().Int(micToChannelA, 1), 0);
    EXPECT_EQ(GetParamImage().Int(micToChannelB, 1), 100);
    std::vector<int> items;
    for (const auto& r : sink.Commands()) {
        items.push_back(r.Item());
    }
    EXPECT_EQ(items, (std::vector<int>{28, 51}));
    EXPECT_TRUE(m_toB->isChecked());
    EXPECT_FALSE(m_toA->isChecked());
    m_stack.undo();
    EXPECT_EQ(GetParamImage().Int(micToChannelA, 1), 100);
    EXPECT_EQ(GetParamImage().Int(micToChannelB, 1), 0);
}

TEST_F(FieldBinderTest, ChannelFieldsFollowTheChannelAndTheLanguage) {
    GetParamImage().SetInt(micShiftFreqA, 0, 1);
    GetParamImage().SetInt(micShiftFreqB, 0, 5);
    m_binder.SetLanguage(1);
    m_binder.RefreshFromImage();
    EXPECT_EQ(m_shiftText->text(), QStringLiteral("Off"));
    m_binder.SetChannel(1);
    m_binder.RefreshFromImage();
    EXPECT_EQ(m_shiftText->text(), QStringLiteral("5Hz"));
    RecordingSink sink;
    m_binder.Edit(1002, 2);
    EXPECT_EQ(GetParamImage().Int(micShiftFreqB, 0), 2);
    EXPECT_EQ(GetParamImage().Int(micShiftFreqA, 0), 1);
    ASSERT_EQ(sink.Commands().size(), 3u);
    EXPECT_EQ(sink.Commands()[0].Item(), 33 + 23);
}

TEST_F(FieldBinderTest, AnAdjustedValueIsWhatIsStoredAndShown) {
    m_binder.SetAdjust(micVolume, [](double v) { return std::min(v, 80.0); });
    RecordingSink sink;
    m_level->setValue(95);
    EXPECT_EQ(GetParamImage().Int(micVolume), 80);
    EXPECT_EQ(m_level->value(), 80);
    ASSERT_EQ(sink.Commands().size(), 1u);
    EXPECT_EQ(ValueOf(sink.Commands()[0], 0), static_cast<float>(0.80 + 0.0005));
}

} // namespace
} // namespace kv
