#pragma once

#include "shell/QuickLevels.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QMenu;
class QSlider;
class QStackedWidget;
class QTabBar;
class QToolButton;

namespace kv {

class FieldBinder;

/// The ribbon of the main window: the application menu, the two categories "Input" and
/// "Output" with their own copies of the quick controls, and the buttons beside the tabs.
/// It runs the slider and mute commands itself; every other command is emitted.
class CRibbon : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInput = 0;
    static constexpr int kOutput = 1;
    static constexpr int kCategoryCount = 2;

    explicit CRibbon(QWidget* parent = nullptr);

    int ActiveCategory() const;
    void SetActiveCategory(int category);
    QString CategoryName(int category) const;
    QString PanelName(int category, int panel) const;

    QSlider* Slider(QuickLevel level, int category) const;
    QLabel* ValueLabel(QuickLevel level, int category) const;
    /// nullptr for the levels without a mute box.
    QCheckBox* MuteBox(MuteKind kind, int category) const;
    QToolButton* Button(int commandId) const;
    QMenu* ApplicationMenu() const { return m_appMenu; }
    /// The Edit menu (undo and redo) beside the application menu.
    QMenu* EditMenu() const { return m_editMenu; }
    void SetEditMenuTitle(const QString& title);
    QMenu* ModeMenu(int menuId) const;
    QTabBar* Tabs() const { return m_tabs; }

    /// The slider command: reads the active copy, applies the limit, sets both copies,
    /// stores, sends, shows the mute notice and rewrites both value labels (all through the
    /// field binder, as an undo step).
    void SliderCommand(QuickLevel level);
    /// Moves both copies by delta (stopping at 0 and 100) and runs the slider command.
    void StepLevel(QuickLevel level, int delta);
    /// Inverts a mute field through its setter. Returns true when it is now muted.
    bool ToggleMute(MuteKind kind);

    /// Sliders, value labels and mute boxes from the image, without commands or notices.
    void RefreshQuickControls();
    /// Writes every ribbon text in the current language.
    void LabelQuickControls();
    /// Rebuilds the recent-file entries of the application menu.
    void SetRecentFiles(const QStringList& files);

signals:
    /// A command of the ribbon other than the quick controls (command numbers of CommandIds).
    void command(int id);
    /// A recent file of the application menu was chosen.
    void recentFileChosen(const QString& path);
    /// The active category changed (kInput or kOutput).
    void categoryChanged(int category);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Category {
        QWidget* page = nullptr;
        std::array<QSlider*, kQuickLevelCount> sliders{};
        std::array<QLabel*, kQuickLevelCount> values{};
        std::array<QCheckBox*, kQuickLevelCount> mutes{};
        std::array<QLabel*, 8> captions{};
        QToolButton* loadMode = nullptr;
        QToolButton* loadFile = nullptr;
        QToolButton* saveMode = nullptr;
        QToolButton* saveFile = nullptr;
    };

    void BuildTopBar();
    void BuildCategory(int category);
    QWidget* BuildLevelPanel(Category& c, int category, const QuickLevelInfo& info);
    QWidget* BuildFilePanel(Category& c, int category, bool load);
    QToolButton* MakeCommandButton(int id, const QString& icon, QWidget* parent);
    void BuildModeMenus();
    void UpdateModeMenuChecks();
    void BindQuickControls();
    void WriteValueLabels(QuickLevel level, int position, bool labelVariant);
    /// Renames a category and its panels for the language; only when its name changes
    /// unless forced.
    void NameCategory(int category, bool force);

    QTabBar* m_tabs;
    QStackedWidget* m_stack;
    QToolButton* m_appButton;
    QMenu* m_appMenu;
    QToolButton* m_editButton;
    QMenu* m_editMenu;
    std::array<Category, kCategoryCount> m_categories{};
    FieldBinder* m_binder = nullptr;
    std::array<QMenu*, 4> m_modeMenus{}; ///< 456, 457, 479, 480
    std::vector<QToolButton*> m_buttons;
    QStringList m_recentFiles;
};

} // namespace kv
