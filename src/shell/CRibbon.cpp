#include "shell/CRibbon.h"

#include "image/ParamImage.h"
#include "link/ConnectionState.h"
#include "pages/FieldBinder.h"
#include "shell/AppSettings.h"
#include "shell/CommandIds.h"
#include "shell/Language.h"
#include "shell/ModeCommands.h"
#include "shell/Shell.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace kv {

namespace {

constexpr int kNoticeMs = 1100;
constexpr int kSliderMax = 100;
constexpr const char* kPanelLevelProperty = "kvPanelLevel";

constexpr std::array<const char*, 8> kPanelsZh = {"话筒音量", "效果总音量", "混响音量", "回声音量",
                                                  "音乐音量", "音乐噪声门", "调用",     "保存"};
constexpr std::array<const char*, 8> kPanelsEn = {
    "Mic  Vol", "Effect Vol", "Reverb Vol", "Echo Vol", "Music Vol", "Noisegate", "Load", "Save"};
struct ButtonText {
    int id;
    const char* zh;
    const char* en;
    const char* icon;
};

// The buttons beside the tabs, in their order.
constexpr std::array<ButtonText, 7> kSideButtons = {{
    {cmd::kFeatures, "特色功能", "Features", "features"},
    {cmd::kSmartPlug, "智能插座", "Smart plug", "plug"},
    {cmd::kInputSource, "输入源", "Input Source", "input"},
    {cmd::kMachineReset, "机器复位", "Reset", "reset"},
    {cmd::kRemoteControl, "遥控学习", "Remote control", "remote"},
    {cmd::kLanguage, "中/EN", "中/EN", "language"},
    {cmd::kAppAbout, "关于", "About", "about"},
}};

// The other texts LabelQuickControls writes, by command number.
constexpr std::array<ButtonText, 13> kCommandTexts = {{
    {cmd::kLoadModeInput, "载入模式", "LoadMode", "modeload"},
    {cmd::kLoadModeOutput, "载入模式", "LoadMode", "modeload"},
    {cmd::kSaveModeInput, "保存模式", "SaveMode", "modesave"},
    {cmd::kSaveModeOutput, "保存模式", "SaveMode", "modesave"},
    {cmd::kLoadFileInput, "载入文件", "LoadFile", "open"},
    {cmd::kLoadFileOutput, "载入文件", "LoadFile", "open"},
    {cmd::kSaveFileInput, "保存文件", "SaveFile", "save"},
    {cmd::kSaveFileOutput, "保存文件", "SaveFile", "save"},
    {cmd::kFileOpen, "打开(&O)", "Open(&O)", "open"},
    {cmd::kFileSave, "保存(&S)", "Save(&S)", "save"},
    {cmd::kBackup, "备份…(&B)", "Backup…(&B)", "save"},
    {cmd::kRestore, "恢复…(&R)", "Restore…(&R)", "open"},
    {cmd::kAppExit, "退出(&X)", "Exit(&X)", "exit"},
}};

QIcon Icon(const char* name) {
    return QIcon(QStringLiteral(":/app/icons/%1.svg").arg(QLatin1String(name)));
}

const ButtonText* CommandText(int id) {
    for (const auto& list :
         {std::span<const ButtonText>(kSideButtons), std::span<const ButtonText>(kCommandTexts)}) {
        for (const ButtonText& t : list) {
            if (t.id == id) {
                return &t;
            }
        }
    }
    return nullptr;
}

QString CategoryTitle(int category, int language) {
    return category == CRibbon::kInput ? TrFor(language, "输入控制", "Input")
                                       : TrFor(language, "输出调节", "Output");
}

std::size_t Index(QuickLevel level) {
    return static_cast<std::size_t>(level);
}

QString LevelText(const QuickLevelInfo& info, int position, bool labelVariant) {
    const bool english = LanguageIndex() == kEnglish;
    const char* prefix =
        english ? info.prefixEn : (labelVariant ? info.labelPrefixZh : info.prefixZh);
    return QString::fromUtf8(prefix) +
           QStringLiteral("%1").arg(position, english ? info.englishWidth : 3);
}

} // namespace

CRibbon::CRibbon(QWidget* parent)
    : QWidget(parent), m_tabs(new QTabBar(this)), m_stack(new QStackedWidget(this)),
      m_appButton(new QToolButton(this)), m_appMenu(new QMenu(this)),
      m_editButton(new QToolButton(this)), m_editMenu(new QMenu(this)) {
    setObjectName(QStringLiteral("ribbon"));
    setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildTopBar();
    BuildModeMenus();
    for (int c = 0; c < kCategoryCount; ++c) {
        BuildCategory(c);
    }
    m_stack->setObjectName(QStringLiteral("ribbonBody"));
    layout->addWidget(m_stack);
    connect(m_tabs, &QTabBar::currentChanged, this, [this](int index) {
        m_stack->setCurrentIndex(index);
        emit categoryChanged(index);
    });
    BindQuickControls();
    for (int c = 0; c < kCategoryCount; ++c) {
        NameCategory(c, true);
    }
    LabelQuickControls();
}

void CRibbon::BindQuickControls() {
    std::vector<FieldBinding> bindings;
    for (const QuickLevelInfo& info : kQuickLevels) {
        for (int c = 0; c < kCategoryCount; ++c) {
            const auto k = static_cast<std::size_t>(c);
            bindings.push_back({info.sliderIds[k], info.field, 0, 0, nullptr, info.setter});
            if (info.muteField) {
                bindings.push_back({info.muteIds[k], info.muteField, 0});
            }
        }
    }
    m_binder = new FieldBinder(bindings, this);
    for (const QuickLevelInfo& info : kQuickLevels) {
        for (int c = 0; c < kCategoryCount; ++c) {
            const auto k = static_cast<std::size_t>(c);
            const Category& cat = m_categories[k];
            m_binder->Attach(info.sliderIds[k], cat.sliders[Index(info.level)]);
            m_binder->Attach(info.muteIds[k], cat.mutes[Index(info.level)]);
        }
        if (info.limitHubByte >= 0) {
            m_binder->SetAdjust(*info.field, [&info](double position) {
                const int maximum =
                    GetParamImage().HubByte(static_cast<std::size_t>(info.limitHubByte));
                if (position > maximum) {
                    ShowInfo(Tr(info.limitZh, info.limitEn), kNoticeMs);
                    return static_cast<double>(maximum);
                }
                return position;
            });
        }
        if (info.muteField) {
            m_binder->SetHook(*info.field, [&info](double) {
                if (GetParamImage().Int(*info.muteField) != 0) {
                    ShowInfo(Tr("当前是静音状态", "vol is mute"), kNoticeMs);
                }
            });
        }
    }
    connect(m_binder, &FieldBinder::changed, this, [this](const MainField* field, int) {
        for (const QuickLevelInfo& info : kQuickLevels) {
            if (info.field->slot == field->slot) {
                WriteValueLabels(info.level, GetParamImage().Slot(field->slot), false);
            }
        }
    });
}

void CRibbon::BuildTopBar() {
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("ribbonBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 6, 8, 0);
    row->setSpacing(2);

    m_appButton->setObjectName(QStringLiteral("appButton"));
    m_appButton->setIcon(QIcon(QStringLiteral(":/app/kvcontrol.svg")));
    m_appButton->setIconSize(QSize(22, 22));
    m_appButton->setPopupMode(QToolButton::InstantPopup);
    m_appButton->setMenu(m_appMenu);
    m_appButton->setFocusPolicy(Qt::NoFocus);
    m_appButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_appMenu->setObjectName(QStringLiteral("appMenu"));
    m_appMenu->setMinimumWidth(300);
    for (int id : {cmd::kFileOpen, cmd::kFileSave, cmd::kBackup, cmd::kRestore}) {
        QAction* action = m_appMenu->addAction(Icon(CommandText(id)->icon), QString());
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { emit command(id); });
    }
    SetRecentFiles({});

    m_tabs->setObjectName(QStringLiteral("ribbonTabs"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    m_tabs->setUsesScrollButtons(false);
    m_tabs->setFocusPolicy(Qt::NoFocus);
    m_tabs->addTab(CategoryTitle(kInput, kChinese));
    m_tabs->addTab(CategoryTitle(kOutput, kChinese));
    m_tabs->installEventFilter(this);

    m_editButton->setObjectName(QStringLiteral("editButton"));
    m_editButton->setPopupMode(QToolButton::InstantPopup);
    m_editButton->setMenu(m_editMenu);
    m_editButton->setFocusPolicy(Qt::NoFocus);
    m_editButton->setAutoRaise(true);
    m_editButton->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    m_editButton->setMinimumHeight(m_appButton->sizeHint().height());
    m_editMenu->setObjectName(QStringLiteral("editMenu"));

    row->addWidget(m_appButton, 0, Qt::AlignBottom);
    row->addWidget(m_editButton, 0, Qt::AlignBottom);
    row->addSpacing(10);
    row->addWidget(m_tabs, 0, Qt::AlignBottom);
    row->addStretch(1);
    for (const ButtonText& b : kSideButtons) {
        QToolButton* button = MakeCommandButton(b.id, QLatin1String(b.icon), bar);
        button->setObjectName(QStringLiteral("sideButton"));
        button->setIconSize(QSize(16, 16));
        row->addWidget(button, 0, Qt::AlignVCenter);
    }
    static_cast<QVBoxLayout*>(layout())->addWidget(bar);
}

QToolButton* CRibbon::MakeCommandButton(int id, const QString& icon, QWidget* parent) {
    auto* button = new QToolButton(parent);
    SetControlId(button, id);
    button->setIcon(QIcon(QStringLiteral(":/app/icons/%1.svg").arg(icon)));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    connect(button, &QToolButton::clicked, this, [this, id] { emit command(id); });
    m_buttons.push_back(button);
    return button;
}

void CRibbon::BuildModeMenus() {
    const std::array<int, 4> ids = {cmd::kMenuLoadZh, cmd::kMenuSaveZh, cmd::kMenuLoadEn,
                                    cmd::kMenuSaveEn};
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const bool english = i >= 2;
        const bool store = (i % 2) == 1;
        auto* menu = new QMenu(this);
        menu->setObjectName(QStringLiteral("modeMenu%1").arg(ids[i]));
        for (int m = 0; m < 4; ++m) {
            const int id = (store ? cmd::kStoreFirst : cmd::kRecallFirst) + m;
            QAction* action = menu->addAction(ModeName(english ? kEnglish : kChinese, m));
            action->setData(id);
            action->setCheckable(true);
            connect(action, &QAction::triggered, this, [this, id] { emit command(id); });
        }
        connect(menu, &QMenu::aboutToShow, this, &CRibbon::UpdateModeMenuChecks);
        m_modeMenus[i] = menu;
    }
}

void CRibbon::UpdateModeMenuChecks() {
    const int current = g_nCurrentMode.load();
    for (QMenu* menu : m_modeMenus) {
        const auto actions = menu->actions();
        for (int m = 0; m < actions.size(); ++m) {
            actions[m]->setChecked(m == current);
        }
    }
}

QMenu* CRibbon::ModeMenu(int menuId) const {
    for (QMenu* menu : m_modeMenus) {
        if (menu->objectName() == QStringLiteral("modeMenu%1").arg(menuId)) {
            return menu;
        }
    }
    return nullptr;
}

void CRibbon::BuildCategory(int category) {
    Category& c = m_categories[static_cast<std::size_t>(category)];
    c.page = new QWidget(m_stack);
    c.page->setObjectName(QStringLiteral("ribbonCategory"));
    auto* row = new QHBoxLayout(c.page);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(6);
    for (const QuickLevelInfo& info : kQuickLevels) {
        row->addWidget(BuildLevelPanel(c, category, info), 1);
    }
    row->addWidget(BuildFilePanel(c, category, true));
    row->addWidget(BuildFilePanel(c, category, false));
    m_stack->addWidget(c.page);
}

QWidget* CRibbon::BuildLevelPanel(Category& c, int category, const QuickLevelInfo& info) {
    const auto k = Index(info.level);
    auto* panel = new QFrame(c.page);
    panel->setObjectName(QStringLiteral("ribbonPanel"));
    panel->setProperty(kPanelLevelProperty, static_cast<int>(info.level));
    panel->setMaximumWidth(210);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 7, 8, 4);
    column->setSpacing(2);

    auto* value = new QLabel(panel);
    value->setObjectName(QStringLiteral("panelValue"));
    SetControlId(value, info.labelIds[static_cast<std::size_t>(category)]);
    auto* slider = new QSlider(Qt::Horizontal, panel);
    slider->setRange(0, kSliderMax);
    // Tab (in panel order) and a click give the slider the keyboard: arrows step by one,
    // PageUp/PageDown by ten, Home/End go to the ends, each through the slider command.
    slider->setFocusPolicy(Qt::StrongFocus);
    slider->setPageStep(10);
    slider->setMinimumWidth(90);
    SetControlId(slider, info.sliderIds[static_cast<std::size_t>(category)]);

    column->addWidget(value);
    column->addWidget(slider);
    QCheckBox* mute = nullptr;
    if (info.mute) {
        mute = new QCheckBox(panel);
        mute->setFocusPolicy(Qt::NoFocus);
        mute->setObjectName(QStringLiteral("muteBox"));
        SetControlId(mute, info.muteIds[static_cast<std::size_t>(category)]);
        column->addWidget(mute);
    } else {
        column->addStretch(1);
    }
    auto* caption = new QLabel(panel);
    caption->setObjectName(QStringLiteral("panelCaption"));
    caption->setAlignment(Qt::AlignCenter);
    column->addWidget(caption);

    c.sliders[k] = slider;
    c.values[k] = value;
    c.mutes[k] = mute;
    c.captions[k] = caption;
    // Wheel turns anywhere over the panel step its slider.
    panel->installEventFilter(this);
    for (QWidget* child : panel->findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
    return panel;
}

QWidget* CRibbon::BuildFilePanel(Category& c, int category, bool load) {
    auto* panel = new QFrame(c.page);
    panel->setObjectName(QStringLiteral("ribbonPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(6, 6, 6, 4);
    column->setSpacing(2);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    const bool input = category == kInput;
    const int modeId = load ? (input ? cmd::kLoadModeInput : cmd::kLoadModeOutput)
                            : (input ? cmd::kSaveModeInput : cmd::kSaveModeOutput);
    const int fileId = load ? (input ? cmd::kLoadFileInput : cmd::kLoadFileOutput)
                            : (input ? cmd::kSaveFileInput : cmd::kSaveFileOutput);
    QToolButton* mode = MakeCommandButton(modeId, QLatin1String(CommandText(modeId)->icon), panel);
    QToolButton* file = MakeCommandButton(fileId, QLatin1String(CommandText(fileId)->icon), panel);
    for (QToolButton* b : {mode, file}) {
        b->setObjectName(QStringLiteral("panelButton"));
        b->setIconSize(QSize(18, 18));
        b->setMinimumWidth(96);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        buttons->addWidget(b);
    }
    mode->setPopupMode(QToolButton::InstantPopup);
    column->addLayout(buttons, 1);
    auto* caption = new QLabel(panel);
    caption->setObjectName(QStringLiteral("panelCaption"));
    caption->setAlignment(Qt::AlignCenter);
    column->addWidget(caption);
    c.captions[load ? 6 : 7] = caption;
    (load ? c.loadMode : c.saveMode) = mode;
    (load ? c.loadFile : c.saveFile) = file;
    return panel;
}

void CRibbon::SetEditMenuTitle(const QString& title) {
    m_editButton->setText(title);
}

int CRibbon::ActiveCategory() const {
    return m_tabs->currentIndex() == kOutput ? kOutput : kInput;
}

void CRibbon::SetActiveCategory(int category) {
    m_tabs->setCurrentIndex(category);
}

QString CRibbon::CategoryName(int category) const {
    return m_tabs->tabText(category);
}

QString CRibbon::PanelName(int category, int panel) const {
    return m_categories[static_cast<std::size_t>(category)]
        .captions[static_cast<std::size_t>(panel)]
        ->text();
}

QSlider* CRibbon::Slider(QuickLevel level, int category) const {
    return m_categories[static_cast<std::size_t>(category)].sliders[Index(level)];
}

QLabel* CRibbon::ValueLabel(QuickLevel level, int category) const {
    return m_categories[static_cast<std::size_t>(category)].values[Index(level)];
}

QCheckBox* CRibbon::MuteBox(MuteKind kind, int category) const {
    return m_categories[static_cast<std::size_t>(category)]
        .mutes[Index(QuickLevelOfMute(kind).level)];
}

QToolButton* CRibbon::Button(int commandId) const {
    for (QToolButton* b : m_buttons) {
        if (ControlId(b) == commandId) {
            return b;
        }
    }
    return nullptr;
}

void CRibbon::WriteValueLabels(QuickLevel level, int position, bool labelVariant) {
    const QString text = LevelText(QuickLevelOf(level), position, labelVariant);
    for (const Category& c : m_categories) {
        c.values[Index(level)]->setText(text);
    }
}

void CRibbon::SliderCommand(QuickLevel level) {
    const int category = ActiveCategory();
    m_binder->Edit(QuickLevelOf(level).sliderIds[static_cast<std::size_t>(category)],
                   Slider(level, category)->value());
}

void CRibbon::StepLevel(QuickLevel level, int delta) {
    const int category = ActiveCategory();
    const int position = std::clamp(Slider(level, category)->value() + delta, 0, kSliderMax);
    m_binder->Edit(QuickLevelOf(level).sliderIds[static_cast<std::size_t>(category)], position);
}

bool CRibbon::ToggleMute(MuteKind kind) {
    const QuickLevelInfo& info = QuickLevelOfMute(kind);
    const bool muted = GetParamImage().Int(*info.muteField) == 0;
    m_binder->Edit(info.muteIds[0], muted ? 1.0 : 0.0);
    return muted;
}

void CRibbon::RefreshQuickControls() {
    m_binder->RefreshFromImage();
    const ParamImage& image = GetParamImage();
    for (const QuickLevelInfo& info : kQuickLevels) {
        WriteValueLabels(info.level, image.Slot(info.field->slot), false);
    }
}

void CRibbon::NameCategory(int category, bool force) {
    const int language = LanguageIndex();
    const QString wanted = CategoryTitle(category, language);
    if (!force && m_tabs->tabText(category) == wanted) {
        return;
    }
    m_tabs->setTabText(category, wanted);
    Category& c = m_categories[static_cast<std::size_t>(category)];
    for (std::size_t p = 0; p < c.captions.size(); ++p) {
        c.captions[p]->setText(
            QString::fromUtf8(language == kEnglish ? kPanelsEn[p] : kPanelsZh[p]));
    }
    const bool english = language == kEnglish;
    c.loadMode->setMenu(ModeMenu(english ? cmd::kMenuLoadEn : cmd::kMenuLoadZh));
    c.saveMode->setMenu(ModeMenu(english ? cmd::kMenuSaveEn : cmd::kMenuSaveZh));
}

void CRibbon::LabelQuickControls() {
    for (int c = 0; c < kCategoryCount; ++c) {
        NameCategory(c, false);
    }
    const ParamImage& image = GetParamImage();
    for (const QuickLevelInfo& info : kQuickLevels) {
        WriteValueLabels(info.level, image.Slot(info.field->slot), true);
    }
    for (const Category& c : m_categories) {
        for (QCheckBox* mute : c.mutes) {
            if (mute) {
                mute->setText(Tr("静音", "Mute"));
            }
        }
    }
    for (QToolButton* b : m_buttons) {
        if (const ButtonText* t = CommandText(ControlId(b))) {
            b->setText(Tr(t->zh, t->en));
        }
    }
    for (QAction* action : m_appMenu->actions()) {
        if (const ButtonText* t = CommandText(action->data().toInt())) {
            action->setText(Tr(t->zh, t->en));
        }
    }
    m_appButton->setText(Tr("文件", "File"));
    SetRecentFiles(m_recentFiles);
    updateGeometry();
    update();
}

void CRibbon::SetRecentFiles(const QStringList& files) {
    m_recentFiles = files;
    // Everything after Open, Save, Backup and Restore is rebuilt: the recent list and Exit.
    const auto actions = m_appMenu->actions();
    for (qsizetype i = 4; i < actions.size(); ++i) {
        m_appMenu->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    m_appMenu->addSection(Tr("最近的文档(Last documents)", "Last documents(最近的文档)"));
    for (int i = 0; i < files.size() && i < kRecentFileCount; ++i) {
        const QString path = files[i];
        QAction* action = m_appMenu->addAction(QStringLiteral("&%1 %2")
                                                   .arg(i + 1 == 10 ? 0 : i + 1)
                                                   .arg(QDir::toNativeSeparators(path)));
        action->setData(cmd::kRecentFirst + i);
        action->setToolTip(path);
        connect(action, &QAction::triggered, this, [this, path] { emit recentFileChosen(path); });
    }
    m_appMenu->addSeparator();
    QAction* exit = m_appMenu->addAction(Icon("exit"), Tr("退出(&X)", "Exit(&X)"));
    exit->setData(cmd::kAppExit);
    connect(exit, &QAction::triggered, this, [this] { emit command(cmd::kAppExit); });
}

bool CRibbon::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) {
        return QWidget::eventFilter(watched, event);
    }
    // Only the level panels react to the wheel; elsewhere on the ribbon it does nothing
    // (in particular it does not switch categories).
    for (QObject* o = watched; o && o != this; o = o->parent()) {
        const QVariant level = o->property(kPanelLevelProperty);
        if (level.isValid()) {
            const int dy = static_cast<QWheelEvent*>(event)->angleDelta().y();
            if (dy != 0) {
                StepLevel(static_cast<QuickLevel>(level.toInt()), dy > 0 ? 1 : -1);
            }
            return true;
        }
    }
    return true;
}

} // namespace kv
