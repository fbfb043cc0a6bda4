#pragma once

#include "controls/CXBmpSlider.h"
#include "shell/IShellWindow.h"

#include <QDialog>

#include <span>

class QCheckBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace kv {

class FieldBinder;
struct FieldBinding;

/// The wheel rule of the settings windows and the positioning page: a wheel turned over
/// root (seen by its filter on watched) goes to the focused control instead when that is a
/// slider inside root. Returns true when the event was passed on.
bool ForwardWheelToFocusedSlider(QWidget* root, QObject* watched, QEvent* event);

/// What the settings windows share: the window's dialog number for its language texts, a
/// field binder over its controls, the light background, numbered controls made in one
/// call, and the wheel rule (a wheel turned anywhere over the window moves the focused
/// slider when one of the window's sliders has the focus).
class SettingsDialog : public QDialog, public IShellWindow {
    Q_OBJECT

public:
    static constexpr QRgb kBackground = 0xFFF0FAFF; // RGB(240, 250, 255)

    SettingsDialog(int dialogId, std::span<const FieldBinding> bindings, QWidget* parent);

    int DialogId() const { return m_dialogId; }
    FieldBinder* Binder() const { return m_binder; }

    void ApplyLanguage() override;
    void RefreshFromImage() override;

protected:
    /// Window rules beyond the binder's (enabling, texts of other controls).
    virtual void AfterRefresh() {}
    /// Texts that depend on the language beyond the table (run after the table's texts).
    virtual void AfterLanguage() {}

    CXBmpSlider* MakeSlider(int id, CXBmpSlider::Skin skin = CXBmpSlider::Skin::LongHorizontal);
    QLabel* MakeLabel(int id, int minimumWidth = 0);
    QCheckBox* MakeCheck(int id);
    QRadioButton* MakeRadio(int id);
    QGroupBox* MakeGroup(int id);
    /// Attaches every numbered child to the binder and routes the wheel of every child
    /// through the window; call once the controls exist.
    void BindControls();

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_dialogId;
    FieldBinder* m_binder;
};

} // namespace kv
