// The skinned slider: geometry, pointer, keys, wheel and notifications.
#include "ControlTestUtil.h"

#include "controls/CXBmpSlider.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace kv {
namespace {

struct Note {
    char kind; ///< 'C' changed, 'F' focus, 'R' released
    int id;
    int pos;
    bool operator==(const Note&) const = default;
};

class Slider : public ::testing::Test {
protected:
    void Make(CXBmpSlider::Skin skin, int min, int max, int pos) {
        slider.SetSkin(skin);
        slider.SetRange(min, max);
        slider.SetPos(pos);
        test::ShowAt(slider, slider.sizeHint().width(), slider.sizeHint().height());
        QObject::connect(&slider, &CXBmpSlider::sliderChanged, [this](int id, int p) {
            notes.push_back({'C', id, p});
        });
        QObject::connect(&slider, &CXBmpSlider::sliderFocus, [this](int id, int p) {
            notes.push_back({'F', id, p});
        });
        QObject::connect(&slider, &CXBmpSlider::sliderReleased, [this](int id, int p) {
            notes.push_back({'R', id, p});
        });
        notes.clear();
    }
    /// Notifications other than focus, as letters.
    std::string Kinds() const {
        std::string s;
        for (const Note& n : notes) {
            if (n.kind != 'F') {
                s += n.kind;
            }
        }
        return s;
    }
    CXBmpSlider slider{nullptr, 1209};
    std::vector<Note> notes;
};

TEST_F(Slider, SkinsSetTheLayout) {
    Make(CXBmpSlider::Skin::LongHorizontal, 0, 100, 0);
    EXPECT_EQ(slider.size(), QSize(131, 22));
    EXPECT_EQ(slider.Travel(), 98);
    EXPECT_EQ(slider.ThumbRect(), QRect(7, 3, 19, 9));
    slider.SetPos(100);
    EXPECT_EQ(slider.ThumbPixel(), 105);
    slider.SetPos(150);
    EXPECT_EQ(slider.Pos(), 100);

    const std::tuple<CXBmpSlider::Skin, QSize, int> skins[] = {
        {CXBmpSlider::Skin::ShortHorizontal, QSize(100, 22), 75},
        {CXBmpSlider::Skin::LongVertical, QSize(22, 131), 98},
        {CXBmpSlider::Skin::TallVertical, QSize(28, 140), 81}};
    for (const auto& [skin, size, travel] : skins) {
        slider.SetSkin(skin);
        EXPECT_EQ(slider.sizeHint(), size);
        EXPECT_EQ(slider.Travel(), travel);
    }
    slider.SetRange(-150, 150);
    slider.SetPos(150);
    EXPECT_EQ(slider.ThumbPixel(), 13) << "vertical: maximum at the top";
    slider.SetPos(-150);
    EXPECT_EQ(slider.ThumbPixel(), 13 + 81);
}

TEST_F(Slider, PressBesideOrOnTheThumbOfAHorizontalSlider) {
    Make(CXBmpSlider::Skin::LongHorizontal, 0, 100, 50);
    const QRect thumb = slider.ThumbRect();
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.left() - 3, 8));
    EXPECT_EQ(slider.Pos(), 49);
    slider.SetPos(50);
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(thumb.right() + 3, 8));
    EXPECT_EQ(slider.Pos(), 51);
    slider.SetPos(50);
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, thumb.center());
    EXPECT_EQ(slider.Pos(), 50);
    std::vector<Note> reported;
    std::copy_if(notes.begin(), notes.end(), std::back_inserter(reported),
                 [](const Note& n) { return n.kind != 'F'; });
    const std::vector<Note> expected = {{'C', 1209, 49}, {'R', 1209, 49}, {'C', 1209, 51},
                                        {'R', 1209, 51}, {'C', 1209, 50}, {'R', 1209, 50}};
    EXPECT_EQ(reported, expected);
    EXPECT_TRUE(slider.Focused()) << "a press takes the focus";
}

TEST_F(Slider, VerticalPressAndArrowKeys) {
    Make(CXBmpSlider::Skin::LongVertical, 0, 100, 50);
    const QRect thumb = slider.ThumbRect();
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(7, thumb.top() - 3));
    EXPECT_EQ(slider.Pos(), 51) << "above the thumb raises";
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier,
                      QPoint(7, slider.ThumbRect().bottom() + 3));
    EXPECT_EQ(slider.Pos(), 50);
    notes.clear();
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_Up, 51}, {Qt::Key_Right, 52}, {Qt::Key_Left, 51}, {Qt::Key_Down, 50}};
    for (const auto& [key, pos] : keys) {
        QTest::keyClick(&slider, key);
        EXPECT_EQ(slider.Pos(), pos);
    }
    EXPECT_EQ(Kinds(), "CRCRCRCR");
    QTest::keyClick(&slider, Qt::Key_A);
    EXPECT_EQ(Kinds(), "CRCRCRCR") << "other keys pass through";
}

TEST_F(Slider, PageKeysStepTenAndHomeEndGoToTheEndsWithinTheRange) {
    Make(CXBmpSlider::Skin::LongHorizontal, 20, 80, 50);
    struct Case {
        Qt::Key key;
        int from;
        int to;
    };
    const Case cases[] = {
        {Qt::Key_PageUp, 50, 60},   {Qt::Key_PageUp, 75, 80}, {Qt::Key_PageDown, 50, 40},
        {Qt::Key_PageDown, 25, 20}, {Qt::Key_Home, 50, 20},   {Qt::Key_End, 50, 80},
        {Qt::Key_End, 80, 80},
    };
    for (const Case& c : cases) {
        slider.SetPos(c.from);
        notes.clear();
        QTest::keyClick(&slider, c.key);
        EXPECT_EQ(slider.Pos(), c.to) << c.key << " from " << c.from;
        EXPECT_EQ(notes, (std::vector<Note>{{'C', 1209, c.to}, {'R', 1209, c.to}})) << c.key;
    }
}

TEST_F(Slider, DraggingBeyondTheEndsHoldsTheLimits) {
    Make(CXBmpSlider::Skin::LongHorizontal, 0, 100, 50);
    const QPoint grip = slider.ThumbRect().center();
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, grip);
    EXPECT_TRUE(slider.Dragging());
    // The pointer is taken at the thumb's centre: x - 9 is the thumb's left edge.
    QTest::mouseMove(&slider, QPoint(7 + 9 + 49, 8));
    EXPECT_NEAR(slider.Pos(), 50, 1);
    QTest::mouseMove(&slider, QPoint(400, 8));
    EXPECT_EQ(slider.Pos(), 100);
    QTest::mouseMove(&slider, QPoint(401, 8));
    EXPECT_EQ(slider.Pos(), 100);
    QTest::mouseMove(&slider, QPoint(-300, 8));
    EXPECT_EQ(slider.Pos(), 0);
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(-300, 8));
    EXPECT_FALSE(slider.Dragging());
    EXPECT_EQ(Kinds(), "CCCCCR") << "every move reports, changed or not";
    EXPECT_EQ(notes.back(), (Note{'R', 1209, 0}));
}

TEST_F(Slider, DisabledIgnoresPressAndKeysButNotTheWheel) {
    Make(CXBmpSlider::Skin::ShortHorizontal, 0, 100, 30);
    slider.SetEnabled(false);
    const QImage disabled = slider.grab().toImage();
    slider.SetEnabled(true);
    EXPECT_NE(disabled, slider.grab().toImage()) << "the disabled thumb looks different";
    slider.SetEnabled(false);
    QTest::mouseClick(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(2, 8));
    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_EQ(slider.Pos(), 30);
    EXPECT_EQ(Kinds(), "R") << "a release still reports";
    EXPECT_TRUE(test::Wheel(slider, QPoint(50, 8), 120));
    EXPECT_EQ(slider.Pos(), 31);
    test::Wheel(slider, QPoint(50, 8), -480);
    EXPECT_EQ(slider.Pos(), 30) << "one step per message";
    test::Wheel(slider, QPoint(50, 8), 0);
    EXPECT_EQ(slider.Pos(), 30);
    EXPECT_EQ(Kinds(), "RCRCRCR");
}

TEST_F(Slider, EmptyRangeKeepsTheThumbAtTheStart) {
    Make(CXBmpSlider::Skin::LongHorizontal, 10, 10, 10);
    EXPECT_EQ(slider.ThumbPixel(), 7);
    EXPECT_EQ(slider.PixelToValue(60), 10);
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, slider.ThumbRect().center());
    QTest::mouseMove(&slider, QPoint(90, 8));
    EXPECT_EQ(slider.Pos(), 10);
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(90, 8));
}

TEST(SliderFocus, GainingFocusReportsAndLosingItRepaints) {
    QWidget page;
    auto* other = new QLineEdit(&page);
    auto* s = new CXBmpSlider(&page, 1052);
    s->SetSkin(CXBmpSlider::Skin::ShortHorizontal);
    s->move(0, 40);
    test::ShowAt(page, 200, 80);
    other->setFocus();
    QApplication::processEvents();
    std::vector<std::pair<int, int>> focus;
    QObject::connect(s, &CXBmpSlider::sliderFocus, [&](int id, int pos) {
        focus.push_back({id, pos});
    });
    const QImage plain = s->grab().toImage();
    s->SetPos(0);
    s->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(focus.size(), 1u);
    EXPECT_EQ(focus[0], std::make_pair(1052, 0));
    EXPECT_TRUE(s->Focused());
    EXPECT_NE(s->grab().toImage(), plain) << "the focused thumb is drawn";
    other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(s->Focused());
    EXPECT_EQ(s->grab().toImage(), plain);
}

} // namespace
} // namespace kv
