#include "GalleryWindow.h"

#include "controls/CCompressPanelPlus.h"
#include "controls/CDelayPanel.h"
#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "controls/CPeakMeterCtrl.h"
#include "controls/CSmallEqPanel.h"
#include "controls/CTabWnd.h"
#include "controls/CXBmpSlider.h"
#include "controls/ControlFonts.h"
#include "controls/ControlMessages.h"
#include "image/DisplayFormat.h"

#include <QCheckBox>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include <cmath>

namespace kv {

namespace {

constexpr QRgb kPageColour = 0xFFF0FAFF;
constexpr QRgb kTextColour = 0xFF1B2A39;
constexpr QRgb kMicACurve = 0xFF00C8FF;
constexpr QRgb kMusicCurve = 0xFFFFC800;
constexpr int kWindowWidth = 1320;
constexpr int kWindowHeight = 860;
constexpr int kTabTop = 60;
constexpr int kTabHeight = 750;

const char* const kStdButton = ":/skins/button_std.svg";
const char* const kStdButton2 = ":/skins/button_std2.svg";
const char* const kAltButton = ":/skins/button_alt.svg";

QString Q8(const char* s) {
    return QString::fromUtf8(s);
}

QWidget* MakePage() {
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    QPalette pal = page->palette();
    pal.setColor(QPalette::Window, QColor::fromRgba(kPageColour));
    pal.setColor(QPalette::WindowText, QColor::fromRgba(kTextColour));
    page->setPalette(pal);
    return page;
}

void LoadBands(CEqPanel* panel, const std::vector<BasicEqBand<float>>& bands) {
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const int index = int(i);
        panel->SetBandType(index, bands[i].type);
        panel->Band(index).freqHz = bands[i].freqHz;
        panel->SetBandQ(bands[i].q, index);
        panel->SetBandGain(bands[i].gainDb, index);
    }
}

QString BandText(const EqPanelBand& b, int index) {
    return QStringLiteral("%1  F %2  G %3  Q %4")
        .arg(index + 1)
        .arg(QString::fromStdString(fmt::Hz(b.freqHz)),
             QString::fromStdString(fmt::SignedDb(b.gainDb)), QString::fromStdString(fmt::Q(b.q)));
}

} // namespace

GalleryWindow::GalleryWindow(QWidget* parent) : QWidget(parent) {
    setFixedSize(kWindowWidth, kWindowHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x1B, 0x2A, 0x39));
    setPalette(pal);

    static const std::array<std::pair<const char*, const char*>, kPageCount> kNavTexts = {
        {{"均衡曲线", "EQ curves"},
         {"推子·电平·按钮", "Sliders, meters, buttons"},
         {"压限·延时", "Compressor, delay"}}};
    for (int i = 0; i < kPageCount; ++i) {
        auto* b = new CGdipButton(this);
        b->setGeometry(20 + i * 171, 10, 161, 39);
        b->SetStdImage(QString::fromLatin1(kStdButton));
        b->SetAltImage(QString::fromLatin1(kAltButton));
        b->SetTextColor(Qt::white);
        connect(b, &QPushButton::clicked, this, [this, i] { ShowPage(i); });
        m_nav[std::size_t(i)] = b;
        m_retext.push_back([b, i](int lang) {
            b->setText(
                Q8(lang == 1 ? kNavTexts[std::size_t(i)].second : kNavTexts[std::size_t(i)].first));
        });
    }
    m_languageButton = new CGdipButton(this);
    m_languageButton->setGeometry(kWindowWidth - 181, 10, 161, 39);
    m_languageButton->SetStdImage(QString::fromLatin1(kStdButton2));
    m_languageButton->SetTextColor(Qt::white);
    connect(m_languageButton, &QPushButton::clicked, this,
            [this] { SetLanguage(m_language == 1 ? 0 : 1); });
    m_retext.push_back([this](int lang) {
        m_languageButton->setText(lang == 1 ? Q8("中文") : QStringLiteral("English"));
    });

    m_tabs = new CTabWnd(this);
    m_tabs->setGeometry(0, kTabTop, kWindowWidth, kTabHeight);
    m_tabs->AddPage(1, BuildEqPage());
    m_tabs->AddPage(2, BuildControlsPage());
    m_tabs->AddPage(3, BuildDynamicsPage());
    m_tabs->LayoutPages();

    m_log = new QLabel(this);
    m_log->setGeometry(20, kTabTop + kTabHeight + 8, kWindowWidth - 40, 34);
    m_log->setFont(ControlFont(FontFace::SimSun, 13));
    m_log->setStyleSheet("color: #9eeaff;");

    FeedMeters();
    ShowPage(0);
}

QLabel* GalleryWindow::AddLabel(QWidget* parent, const char* zh, const char* en, QRect geometry,
                                bool heading) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setFont(ControlFont(FontFace::SimSun, heading ? 14 : 12, heading));
    m_retext.push_back([label, zh, en](int lang) { label->setText(Q8(lang == 1 ? en : zh)); });
    return label;
}

void GalleryWindow::Log(const QString& zh, const QString& en) {
    m_log->setText(m_language == 1 ? en : zh);
}

QWidget* GalleryWindow::BuildEqPage() {
    QWidget* page = MakePage();
    AddLabel(page, "话筒A均衡：拖动手柄改频率和增益，右键拖动改Q值，滚轮改增益，数字键选段",
             "Mic A EQ: drag a handle for frequency and gain, right-drag for Q, wheel for gain, "
             "digits pick a band",
             QRect(20, 6, 1280, 22), true);
    auto* mic = new CEqPanel(page);
    mic->setGeometry(20, 30, 1280, 400);
    mic->SetKind(0);
    mic->SetCurveColour(kMicACurve);
    mic->SetBandCount(10);
    LoadBands(mic, {{0, 40, 0.7f, kFilterHighPass},
                    {4.0f, 110, 0.7f, kFilterLowShelf},
                    {-3.5f, 250, 1.2f, kFilterPeq},
                    {6.0f, 800, 2.0f, kFilterPeq},
                    {-2.0f, 1600, 1.41f, kFilterPeq},
                    {3.0f, 3000, 1.41f, kFilterPeq},
                    {-7.5f, 5200, 4.0f, kFilterPeq},
                    {2.0f, 8000, 1.41f, kFilterPeq},
                    {3.0f, 12000, 0.7f, kFilterHighShelf},
                    {0, 18000, 0.7f, kFilterLowPass}});
    mic->SetSelected(3);
    m_eqPanels.push_back(mic);

    AddLabel(page, "通道1均衡：第10段为分频器（高通 LinkwitzRiely 24dB，80Hz）",
             "CH1 EQ: band 10 is the crossover (high-pass LinkwitzRiely 24dB, 80Hz)",
             QRect(20, 440, 860, 22), true);
    auto* ch = new CEqPanel(page);
    ch->setGeometry(20, 464, 860, 276);
    ch->SetKind(7);
    ch->SetBandCount(13);
    LoadBands(ch, {{2.5f, 63, 1.0f, kFilterPeq},
                   {-4.0f, 160, 2.5f, kFilterPeq},
                   {1.5f, 400, 1.41f, kFilterPeq},
                   {0, 1000, 1.41f, kFilterPeq},
                   {-2.5f, 2500, 1.8f, kFilterPeq},
                   {3.5f, 6300, 1.41f, kFilterPeq},
                   {-2.0f, 120, 0.7f, kFilterLowShelf},
                   {2.0f, 10000, 0.7f, kFilterHighShelf},
                   {-1.0f, 16000, 1.41f, kFilterPeq}});
    ch->Band(9).freqHz = 80.0f;
    ch->ApplyBandType(9, kFilterHighPass);
    ch->SetCrossoverSlope(9, 1);
    ch->SetSelected(9);
    m_eqPanels.push_back(ch);

    AddLabel(page, "音乐均衡（旁通）", "Music EQ (bypassed)", QRect(900, 440, 400, 22), true);
    auto* music = new CEqPanel(page);
    music->setGeometry(900, 464, 400, 276);
    music->SetKind(6);
    music->SetCurveColour(kMusicCurve);
    music->SetBandCount(7);
    LoadBands(music, {{4.0f, 31, 1.41f, kFilterPeq},
                      {2.0f, 62, 1.41f, kFilterPeq},
                      {-1.0f, 125, 1.41f, kFilterPeq},
                      {-2.0f, 250, 1.41f, kFilterPeq},
                      {0.5f, 500, 1.41f, kFilterPeq},
                      {2.5f, 1000, 1.41f, kFilterPeq},
                      {3.5f, 2000, 1.41f, kFilterPeq}});
    music->SetBypass(true);
    m_eqPanels.push_back(music);

    for (CEqPanel* panel : m_eqPanels) {
        connect(panel, &CEqPanel::bandChanged, this,
                [this, panel](const EqPanelBand& b, int index) {
                    const QString text = BandText(b, index);
                    Log(QStringLiteral("%1 (0x%2) %3 段 %4")
                            .arg(panel->Title())
                            .arg(UM_EQ_BAND_CHANGED, 0, 16)
                            .arg(text.section(' ', 0, 0), text.section(' ', 1)),
                        QStringLiteral("%1 (0x%2) band %3")
                            .arg(panel->Title())
                            .arg(UM_EQ_BAND_CHANGED, 0, 16)
                            .arg(text));
                });
        connect(panel, &CEqPanel::bandPicked, this, [this, panel](const EqPanelBand& b, int index) {
            Log(QStringLiteral("%1 (0x%2) 选择 %3")
                    .arg(panel->Title())
                    .arg(UM_EQ_BAND_PICKED, 0, 16)
                    .arg(BandText(b, index)),
                QStringLiteral("%1 (0x%2) picked %3")
                    .arg(panel->Title())
                    .arg(UM_EQ_BAND_PICKED, 0, 16)
                    .arg(BandText(b, index)));
        });
        connect(panel, &CEqPanel::deselected, this, [this, panel] {
            Log(QStringLiteral("%1 (0x%2) 取消选择").arg(panel->Title()).arg(UM_EQ_DESELECT, 0, 16),
                QStringLiteral("%1 (0x%2) deselected")
                    .arg(panel->Title())
                    .arg(UM_EQ_DESELECT, 0, 16));
        });
        connect(panel, &CEqPanel::copyPaste, this, [this](int action, int kind) {
            Log(QStringLiteral("0x%1 %2 类型 %3")
                    .arg(UM_EQ_COPY_PASTE, 0, 16)
                    .arg(action == 0 ? Q8("复制") : Q8("粘贴"))
                    .arg(kind),
                QStringLiteral("0x%1 %2 kind %3")
                    .arg(UM_EQ_COPY_PASTE, 0, 16)
                    .arg(action == 0 ? "copy" : "paste")
                    .arg(kind));
        });
        m_retext.push_back([panel](int lang) { panel->SetLanguage(lang); });
    }
    return page;
}

QWidget* GalleryWindow::BuildControlsPage() {
    QWidget* page = MakePage();
    auto addValue = [page](QRect geometry) {
        auto* value = new QLabel(page);
        value->setGeometry(geometry);
        value->setFont(ControlFont(FontFace::Arial, 12, true));
        value->setStyleSheet("color: #0b6fb0;");
        return value;
    };
    auto track = [this](CXBmpSlider* s, QLabel* value, std::function<QString(int)> text) {
        auto show = [s, value, text] { value->setText(text(s->Pos())); };
        show();
        connect(s, &CXBmpSlider::sliderChanged, value, show);
        connect(s, &CXBmpSlider::sliderChanged, this, [this](int id, int pos) {
            Log(QStringLiteral("推子 %1 (0x%2) 位置 %3")
                    .arg(id)
                    .arg(UM_SLIDER_CHANGED, 0, 16)
                    .arg(pos),
                QStringLiteral("slider %1 (0x%2) position %3")
                    .arg(id)
                    .arg(UM_SLIDER_CHANGED, 0, 16)
                    .arg(pos));
        });
    };

    AddLabel(page, "推子", "Sliders", QRect(20, 10, 300, 22), true);
    struct Row {
        const char* zh;
        const char* en;
        CXBmpSlider::Skin skin;
        int min, max, pos;
        bool enabled;
    };
    const std::array<Row, 4> rows = {{
        {"话筒1音量", "Mic 1 volume", CXBmpSlider::Skin::LongHorizontal, 0, 100, 72, true},
        {"回声电平", "Echo level", CXBmpSlider::Skin::LongHorizontal, 0, 100, 35, true},
        {"话筒2音量", "Mic 2 volume", CXBmpSlider::Skin::ShortHorizontal, 0, 100, 50, true},
        {"噪声门（禁用）", "Noise gate (disabled)", CXBmpSlider::Skin::ShortHorizontal, 0, 100, 20,
         false},
    }};
    int y = 44;
    int id = 1056;
    for (const Row& r : rows) {
        AddLabel(page, r.zh, r.en, QRect(20, y + 2, 150, 20));
        auto* s = new CXBmpSlider(page, id++);
        s->SetSkin(r.skin);
        s->move(175, y);
        s->SetRange(r.min, r.max);
        s->SetPos(r.pos);
        s->SetEnabled(r.enabled);
        track(s, addValue(QRect(320, y + 1, 60, 20)),
              [](int v) { return QString::fromStdString(fmt::Percent(v)); });
        y += 34;
    }

    AddLabel(page, "频段增益 / 频率 / Q值", "Band gain / frequency / Q", QRect(420, 10, 300, 22),
             true);
    struct Column {
        int min, max, pos;
        std::function<QString(int)> text;
    };
    const std::array<Column, 3> columns = {{
        {-150, 150, 60, [](int v) { return QString::fromStdString(fmt::SignedDb(v / 10.0)); }},
        {20, 20000, 800, [](int v) { return QString::fromStdString(fmt::HzInt(v)); }},
        {10, 3000, 200, [](int v) { return QString::fromStdString(fmt::Q(v / 100.0)); }},
    }};
    for (int i = 0; i < 3; ++i) {
        const Column& c = columns[std::size_t(i)];
        auto* s = new CXBmpSlider(page, 1209 + i);
        s->SetSkin(CXBmpSlider::Skin::LongVertical);
        s->move(440 + i * 90, 44);
        s->SetRange(c.min, c.max);
        s->SetPos(c.pos);
        auto* value = addValue(QRect(420 + i * 90, 180, 80, 20));
        value->setAlignment(Qt::AlignCenter);
        track(s, value, c.text);
    }
    AddLabel(page, "参数", "Parameter", QRect(720, 10, 120, 22), true);
    auto* tall = new CXBmpSlider(page, 1000);
    tall->SetSkin(CXBmpSlider::Skin::TallVertical);
    tall->move(735, 40);
    tall->SetRange(0, 100);
    tall->SetPos(64);
    auto* tallValue = addValue(QRect(715, 184, 70, 20));
    tallValue->setAlignment(Qt::AlignCenter);
    track(tall, tallValue, [](int v) { return QString::fromStdString(fmt::Percent(v)); });

    AddLabel(page, "电平表", "Level meters", QRect(20, 230, 300, 22), true);
    static const std::array<std::pair<const char*, const char*>, 6> kMeterNames = {
        {{"话筒1", "Mic 1"},
         {"话筒2", "Mic 2"},
         {"话筒3", "Mic 3"},
         {"话筒4", "Mic 4"},
         {"音乐左", "Music L"},
         {"音乐右", "Music R"}}};
    for (int i = 0; i < 6; ++i) {
        AddLabel(page, kMeterNames[std::size_t(i)].first, kMeterNames[std::size_t(i)].second,
                 QRect(20, 262 + i * 26, 90, 18));
        auto* m = new CPeakMeterCtrl(page);
        m->setGeometry(115, 264 + i * 26, 226, 14);
        m->SetBandCount(1);
        m->SetLedCount(15);
        m->SetBackgroundColour(QColor::fromRgba(kPageColour));
        m->ResetMeter();
        m->StartTimer(35);
        m_meters.push_back(m);
    }

    AddLabel(page, "按钮（导航、选择、当前页）", "Buttons (navigation, selector, current page)",
             QRect(420, 230, 600, 22), true);
    static const std::array<std::pair<const char*, const char*>, 8> kNavNames = {
        {{"通道1", "CH 1"},
         {"通道2", "CH 2"},
         {"通道3", "CH 3"},
         {"通道4", "CH 4"},
         {"声场定位", "Location"},
         {"延时调整", "Delay"},
         {"输出压限", "Comp"},
         {"主页", "Main"}}};
    for (int i = 0; i < 8; ++i) {
        auto* b = new CGdipButton(page);
        b->setGeometry(420 + (i % 4) * 171, 262 + (i / 4) * 49, 161, 39);
        b->SetStdImage(QString::fromLatin1(kStdButton));
        b->SetAltImage(QString::fromLatin1(kAltButton));
        b->SetTextColor(Qt::white);
        b->SetSelected(i == 0);
        m_retext.push_back([b, i](int lang) {
            b->setText(
                Q8(lang == 1 ? kNavNames[std::size_t(i)].second : kNavNames[std::size_t(i)].first));
        });
        connect(b, &QPushButton::clicked, this,
                [this, b] { Log(Q8("按钮：") + b->text(), "button: " + b->text()); });
    }
    static const std::array<std::pair<const char*, const char*>, 3> kSources = {
        {{"话筒A", "Mic A"}, {"话筒B", "Mic B"}, {"音乐", "Music"}}};
    std::vector<CGdipButton*> sources;
    for (int i = 0; i < 3; ++i) {
        auto* b = new CGdipButton(page);
        b->setGeometry(420 + i * 171, 360, 161, 39);
        b->SetStdImage(QString::fromLatin1(kStdButton2));
        b->SetAltImage(QString::fromLatin1(kAltButton));
        b->SetTextColor(Qt::white);
        b->SetSelected(i == 1);
        sources.push_back(b);
        m_retext.push_back([b, i](int lang) {
            b->setText(
                Q8(lang == 1 ? kSources[std::size_t(i)].second : kSources[std::size_t(i)].first));
        });
    }
    for (CGdipButton* b : sources) {
        connect(b, &QPushButton::clicked, this, [b, sources] {
            for (CGdipButton* other : sources) {
                other->SetSelected(other == b);
            }
        });
    }

    AddLabel(page, "小均衡曲线（点击打开效果页）",
             "Small EQ curves (a click opens the effects page)", QRect(20, 430, 600, 22), true);
    static const std::array<std::pair<const char*, const char*>, 3> kSmallNames = {
        {{"混响均衡", "Reverb EQ"},
         {"回声均衡（暗）", "Echo EQ (dimmed)"},
         {"直通", "Pass-through"}}};
    for (int i = 0; i < 3; ++i) {
        AddLabel(page, kSmallNames[std::size_t(i)].first, kSmallNames[std::size_t(i)].second,
                 QRect(20 + i * 250, 458, 230, 20));
        auto* small = new CSmallEqPanel(page);
        small->setGeometry(20 + i * 250, 482, 230, 96);
        const std::array<float, 7> gains = i == 0 ? std::array<float, 7>{-6, -3, 0, 2, 4, 3, -2}
                                                  : std::array<float, 7>{3, 5, 2, -2, -4, 0, 6};
        for (int b = 0; b < 7; ++b) {
            small->SetBandGain(b, i == 2 ? 0.0f : gains[std::size_t(b)]);
        }
        if (i == 0) {
            small->BandAt(6).type = 5;
            small->BandAt(6).q = 0.7f;
            small->RecalcBand(6);
        }
        small->SetCurveColour(i == 1 ? 0xFF00DC00 : kMicACurve);
        small->SetDim(i == 1);
        small->SetPass(i == 2);
        connect(small, &CSmallEqPanel::clicked, this, [this, i] {
            Log(Q8("点击小均衡 %1").arg(i + 1), QStringLiteral("small EQ %1 clicked").arg(i + 1));
        });
    }
    return page;
}

QWidget* GalleryWindow::BuildDynamicsPage() {
    QWidget* page = MakePage();
    AddLabel(page, "压限曲线（阈值 -30dB，比例 4:1）",
             "Compressor curve (threshold -30dB, ratio 4:1)", QRect(20, 10, 620, 22), true);
    m_comp = new CCompressPanelPlus(page);
    m_comp->setGeometry(20, 36, 620, 400);
    m_comp->SetLowerKnee(-90.0f);
    m_comp->SetLowerSlope(1.0f);
    m_comp->SetThreshold(-30.0f);
    m_comp->SetUpperSlope(0.25f);
    m_comp->SetEnabled(true);

    auto addSlider = [this, page](const char* zh, const char* en, int y, int id, int min, int max,
                                  int pos) {
        AddLabel(page, zh, en, QRect(20, y + 2, 110, 20));
        auto* s = new CXBmpSlider(page, id);
        s->SetSkin(CXBmpSlider::Skin::LongHorizontal);
        s->move(135, y);
        s->SetRange(min, max);
        s->SetPos(pos);
        auto* value = new QLabel(page);
        value->setGeometry(280, y + 1, 80, 20);
        value->setFont(ControlFont(FontFace::Arial, 12, true));
        value->setStyleSheet("color: #0b6fb0;");
        return std::make_pair(s, value);
    };
    auto [thr, thrValue] = addSlider("阀(阈)", "Threshold", 452, 1014, -60, 0, -30);
    auto [ratio, ratioValue] = addSlider("衰减比例", "Ratio", 486, 1015, 10, 300, 40);
    auto showComp = [this, thr = thr, thrValue = thrValue, ratio = ratio, ratioValue = ratioValue] {
        m_comp->SetThreshold(float(thr->Pos()));
        m_comp->SetUpperSlope(10.0f / float(ratio->Pos()));
        thrValue->setText(QString::fromStdString(fmt::Db(thr->Pos())));
        ratioValue->setText(QString::fromStdString(fmt::Ratio(ratio->Pos() / 10.0)));
    };
    showComp();
    connect(thr, &CXBmpSlider::sliderChanged, this, showComp);
    connect(ratio, &CXBmpSlider::sliderChanged, this, showComp);
    auto* on = new QCheckBox(page);
    on->setGeometry(400, 454, 240, 22);
    on->setChecked(true);
    m_retext.push_back([on](int lang) { on->setText(lang == 1 ? "Comp ON" : Q8("压限启用")); });
    connect(on, &QCheckBox::toggled, m_comp, &CCompressPanelPlus::SetEnabled);

    AddLabel(page, "压限关闭", "Compressor off", QRect(660, 450, 640, 22), true);
    auto* off = new CCompressPanelPlus(page);
    off->setGeometry(660, 476, 640, 264);
    off->SetLowerKnee(-90.0f);
    off->SetThreshold(-12.0f);
    off->SetUpperSlope(0.5f);

    AddLabel(page, "延时（拖动箭头，1.5 至 100 毫秒）", "Delay (drag a marker, 1.5 to 100 ms)",
             QRect(660, 10, 640, 22), true);
    m_delay = new CDelayPanel(page);
    m_delay->setGeometry(660, 36, 640, 400);
    m_delay->SetChannelCount(8);
    m_retext.push_back([this](int lang) { m_delay->SetLanguage(lang); });
    m_delay->Init();
    const std::array<float, 8> delays = {12.5f, 12.5f, 3.0f, 25.0f, 40.0f, 58.5f, 76.0f, 100.0f};
    for (int i = 0; i < 8; ++i) {
        m_delay->SetChannelValue(i, delays[std::size_t(i)]);
    }
    // The host's answer: store and move the marker, which also limits it to the axis.
    connect(m_delay, &CDelayPanel::delayDragged, this, [this](int channel, float ms) {
        m_delay->SetChannelValue(channel, ms);
        const QString value = QString::fromStdString(fmt::DelayMs(ms));
        Log(QStringLiteral("%1 通道%2 = %3").arg(UM_DELAY_CHANGED).arg(channel + 1).arg(value),
            QStringLiteral("%1 CH%2 = %3").arg(UM_DELAY_CHANGED).arg(channel + 1).arg(value));
    });
    return page;
}

void GalleryWindow::FeedMeters() {
    // A status report every 300 ms, as the main page feeds its meters.
    static const std::array<int, 6> kLevels = {4, 24, 40, 46, 50, 60};
    for (std::size_t i = 0; i < m_meters.size(); ++i) {
        const int animated = int(30 + 30 * std::sin(m_tick * 0.35 + double(i)));
        const int level = m_tick == 0 ? kLevels[i] : animated;
        m_meters[i]->SetData(std::span<const int>(&level, 1), 0);
    }
    ++m_tick;
    if (m_tick == 1) {
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &GalleryWindow::FeedMeters);
        QTimer::singleShot(3000, timer, [timer] { timer->start(300); });
    }
}

void GalleryWindow::SetLanguage(int language) {
    m_language = language == 1 ? 1 : 0;
    for (auto& f : m_retext) {
        f(m_language);
    }
    setWindowTitle(m_language == 1 ? QStringLiteral("KV Controller - control gallery")
                                   : Q8("KV Controller - 控件样本"));
    Log(Q8("界面语言：中文"), QStringLiteral("Language: English"));
}

void GalleryWindow::ShowPage(int page) {
    if (m_tabs->SelectPage(page) < 0) {
        return;
    }
    for (int i = 0; i < kPageCount; ++i) {
        m_nav[std::size_t(i)]->SetSelected(i == page);
    }
}

bool GalleryWindow::SaveScreenshots(const QString& folder) {
    if (!QDir().mkpath(folder)) {
        return false;
    }
    static const std::array<const char*, kPageCount> kNames = {"eq", "controls", "dynamics"};
    const int language = m_language;
    const int page = m_tabs->CurrentIndex();
    bool ok = true;
    for (int lang = 0; lang < 2; ++lang) {
        SetLanguage(lang);
        for (int p = 0; p < kPageCount; ++p) {
            ShowPage(p);
            const QString file =
                QDir(folder).filePath(QStringLiteral("gallery_%1_%2.png")
                                          .arg(kNames[std::size_t(p)], lang == 1 ? "en" : "zh"));
            ok = grab().save(file) && ok;
        }
    }
    SetLanguage(language);
    ShowPage(page);
    return ok;
}

} // namespace kv
