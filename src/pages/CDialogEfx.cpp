#include "pages/CDialogEfx.h"

#include "controls/CEqPanel.h"
#include "controls/CGdipButton.h"
#include "image/MainFields.h"
#include "pages/EqBandEditor.h"
#include "pages/EqBandTable.h"
#include "pages/EqSection.h"
#include "pages/PageSwitch.h"
#include "protocol/Equaliser.h"
#include "shell/AppState.h"
#include "shell/Language.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace kv {

namespace {

constexpr int kBands = 7;

struct EqChoice {
    int kind;
    const MainField* eqSwitch;
    int entry;
    const char* zh;
    const char* en;
    QRgb colour;
};
const std::array<EqChoice, 4> kSelections = {{
    {2, &fields::reverbEqSwitch, 0, "混响均衡 A", "Reverb EQ A", 0xFF00C8FF},
    {3, &fields::reverbEqSwitch, 1, "混响均衡 B", "Reverb EQ B", 0xFF00DC00},
    {4, &fields::echoEqSwitch, 0, "回声均衡 A", "Echo EQ A", 0xFF00C8FF},
    {5, &fields::echoEqSwitch, 1, "回声均衡 B", "Echo EQ B", 0xFF00DC00},
}};

EqTarget TargetOf(const EqChoice& s) {
    const EqKindBands k = *EqKind(s.kind);
    return {s.kind, k.group, k.firstBand, k.bands, s.eqSwitch, s.entry};
}

} // namespace

CDialogEfx::CDialogEfx(int selection, QWidget* parent)
    : QWidget(parent), m_panel(new CEqPanel(this)), m_list(new EqBandTable(kBands, this)),
      m_editor(new EqBandEditor(this)), m_eq(new EqSection(m_panel, m_list, m_editor, this)),
      m_stack(new QStackedWidget(this)), m_picture(new QLabel(this)),
      m_back(new CGdipButton(this)) {
    setObjectName(QStringLiteral("effectsPage"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(240, 250, 255));
    setPalette(pal);
    SetControlId(m_panel, 1040);
    SetControlId(m_list, 1139);
    SetControlId(m_picture, 1258);
    SetControlId(m_back, 1068);
    m_list->setStyleSheet(
        QStringLiteral("QTableWidget { color: rgb(0, 200, 255); background-color: rgb(20, 20, 20);"
                       " gridline-color: rgb(60, 60, 60); }"));
    m_list->SetHeaderColours(QColor(20, 20, 20), QColor(0, 200, 255));
    m_back->SetStdImage(QStringLiteral(":/skins/button_std2.svg"));
    m_back->SetTextColor(Qt::white);
    m_back->setFixedSize(110, 32);
    m_back->setFocusPolicy(Qt::NoFocus);
    m_picture->setFixedSize(240, 40);
    connect(m_back, &QPushButton::clicked, this, &CDialogEfx::Back);

    m_stack->addWidget(m_list);
    m_stack->addWidget(m_editor);
    connect(m_eq, &EqSection::selectionChanged, this, [this](int band) {
        m_stack->setCurrentWidget(band < 0 ? static_cast<QWidget*>(m_list) : m_editor);
    });

    auto* top = new QHBoxLayout;
    top->addWidget(m_picture);
    top->addStretch(1);
    top->addWidget(m_back, 0, Qt::AlignTop | Qt::AlignRight);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_stack, 0);
    bottom->addStretch(1);
    FitStack();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 2, 2, 6);
    column->setSpacing(6);
    column->addLayout(top);
    column->addWidget(m_panel, 1);
    column->addLayout(bottom);

    m_selection = std::clamp(selection, 0, 3);
    m_eq->SetTarget(TargetOf(kSelections[static_cast<std::size_t>(m_selection)]));
    m_panel->SetCurveColour(kSelections[static_cast<std::size_t>(m_selection)].colour);
    LoadEq();
    DrawPicture();
}

void CDialogEfx::SelectEq(int selection) {
    m_selection = std::clamp(selection, 0, 3);
    const EqChoice& s = kSelections[static_cast<std::size_t>(m_selection)];
    m_eq->SetTarget(TargetOf(s));
    m_panel->SetCurveColour(s.colour);
    LoadEq();
    DrawPicture();
}

void CDialogEfx::LoadEq() {
    m_eq->Load();
}

bool CDialogEfx::EditorShown() const {
    return m_stack->currentWidget() == m_editor;
}

void CDialogEfx::DrawPicture() {
    const EqChoice& s = kSelections[static_cast<std::size_t>(m_selection)];
    const qreal dpr = devicePixelRatioF();
    QPixmap pixmap(QSize(m_picture->width(), m_picture->height()) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(1, 1, m_picture->width() - 2, m_picture->height() - 2);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(60, 60, 60));
    g.setColorAt(1, QColor(20, 20, 20));
    p.setBrush(g);
    p.setPen(QPen(QColor::fromRgb(s.colour), 1.5));
    p.drawRoundedRect(r, 6, 6);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(18);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor::fromRgb(s.colour));
    const bool en = LanguageIndex() == kEnglish;
    p.drawText(r, Qt::AlignCenter, QString::fromUtf8(en ? s.en : s.zh));
    p.end();
    m_picture->setPixmap(pixmap);
    m_picture->setToolTip(QString::fromUtf8(en ? s.en : s.zh));
}

void CDialogEfx::ApplyLanguage() {
    const int language = LanguageIndex();
    ApplyLanguageTexts(this, kDialog);
    m_eq->SetLanguage(language);
    m_back->setText(Tr("返回", "Back"));
    DrawPicture();
    FitStack();
}

void CDialogEfx::FitStack() {
    // The editor's frames grow by their titles once the language texts are in.
    m_stack->setFixedHeight(std::max(m_editor->sizeHint().height(), m_list->FullHeight()));
}

void CDialogEfx::Back() {
    SwitchPageLater(PageKind::Main, std::clamp(GetAppState().mainPageSource, 0, 1));
}

int CDialogEfx::ShownEqKind() const {
    return m_eq->Target().kind;
}

bool CDialogEfx::IsEqBypassed() const {
    return m_eq->Bypassed();
}

void CDialogEfx::SelectBand(int band) {
    if (band < kBands) {
        m_eq->SelectBand(band);
    }
}

void CDialogEfx::ToggleEqSwitch() {
    m_eq->ToggleSwitch();
}

void CDialogEfx::ResetEq() {
    m_eq->Reset();
}

} // namespace kv
