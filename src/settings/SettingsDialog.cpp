#include "settings/SettingsDialog.h"

#include "pages/FieldBinder.h"
#include "shell/Language.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QWheelEvent>

namespace kv {

SettingsDialog::SettingsDialog(int dialogId, std::span<const FieldBinding> bindings,
                               QWidget* parent)
    : QDialog(parent), m_dialogId(dialogId), m_binder(new FieldBinder(bindings, this)) {
    setProperty("kvSkin", QStringLiteral("dialog"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(kBackground));
    setPalette(pal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

CXBmpSlider* SettingsDialog::MakeSlider(int id, CXBmpSlider::Skin skin) {
    auto* slider = new CXBmpSlider(this, id);
    slider->SetSkin(skin);
    slider->SetBackgroundColour(kBackground);
    SetControlId(slider, id);
    return slider;
}

QLabel* SettingsDialog::MakeLabel(int id, int minimumWidth) {
    auto* label = new QLabel(this);
    SetControlId(label, id);
    if (minimumWidth > 0) {
        label->setMinimumWidth(minimumWidth);
    }
    return label;
}

QCheckBox* SettingsDialog::MakeCheck(int id) {
    auto* box = new QCheckBox(this);
    SetControlId(box, id);
    return box;
}

QRadioButton* SettingsDialog::MakeRadio(int id) {
    auto* radio = new QRadioButton(this);
    SetControlId(radio, id);
    return radio;
}

QGroupBox* SettingsDialog::MakeGroup(int id) {
    auto* group = new QGroupBox(this);
    SetControlId(group, id);
    return group;
}

void SettingsDialog::BindControls() {
    m_binder->AttachAll([this](int control) { return FindControl(this, control); });
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }
}

void SettingsDialog::ApplyLanguage() {
    ApplyLanguageTexts(this, m_dialogId);
    m_binder->SetLanguage(LanguageIndex());
    AfterLanguage();
    RefreshFromImage();
}

void SettingsDialog::RefreshFromImage() {
    m_binder->RefreshFromImage();
    AfterRefresh();
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* event) {
    return ForwardWheelToFocusedSlider(this, watched, event) ||
           QDialog::eventFilter(watched, event);
}

bool ForwardWheelToFocusedSlider(QWidget* root, QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel) {
        return false;
    }
    auto* focused = qobject_cast<CXBmpSlider*>(QApplication::focusWidget());
    if (!focused || focused == watched || !root->isAncestorOf(focused)) {
        return false;
    }
    auto* wheel = static_cast<QWheelEvent*>(event);
    QWheelEvent copy(focused->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                     wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                     wheel->phase(), wheel->inverted());
    QApplication::sendEvent(focused, &copy);
    return true;
}

} // namespace kv
