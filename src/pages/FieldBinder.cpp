#include "pages/FieldBinder.h"

#include "controls/CXBmpSlider.h"
#include "image/TypedValue.h"
#include "pages/ValueNote.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kv {

namespace {

constexpr FieldRange kUnlimited{-1e9, 1e9, 1, ""};

int Position(double value, double step) {
    return static_cast<int>(std::lround(value / step));
}

} // namespace

QString PlainIntText(double value, int /*language*/) {
    return QString::number(static_cast<long long>(std::lround(value)));
}

FieldBinder::FieldBinder(std::span<const FieldBinding> bindings, QObject* parent)
    : QObject(parent), m_bindings(bindings.begin(), bindings.end()) {}

const FieldBinding* FieldBinder::Binding(int control) const {
    if (control == 0) {
        return nullptr;
    }
    const auto it = std::find_if(m_bindings.begin(), m_bindings.end(),
                                 [control](const FieldBinding& b) { return b.control == control; });
    return it == m_bindings.end() ? nullptr : &*it;
}

void FieldBinder::Attach(int control, QWidget* widget) {
    if (!widget || control == 0) {
        return;
    }
    for (const FieldBinding& b : m_bindings) {
        if (b.control == control) {
            m_attached.push_back({widget, &b, false});
            Connect(widget, b);
            Show(m_attached.back());
        } else if (b.textControl == control) {
            m_attached.push_back({widget, &b, true});
            Show(m_attached.back());
        }
    }
}

void FieldBinder::AttachAll(const std::function<QWidget*(int)>& find) {
    for (const FieldBinding& b : m_bindings) {
        for (int control : {b.control, b.textControl}) {
            if (control != 0) {
                const bool done =
                    std::any_of(m_attached.begin(), m_attached.end(), [&](const Attached& a) {
                        return (a.asText ? a.binding->textControl : a.binding->control) == control;
                    });
                if (!done) {
                    Attach(control, find(control));
                }
            }
        }
    }
}

double FieldBinder::StepOf(const FieldRange& r) {
    return r.step > 0 ? r.step : 1.0;
}

void FieldBinder::Connect(QWidget* widget, const FieldBinding& b) {
    const FieldRange& r = Range(b);
    const double step = StepOf(r);
    const FieldBinding* binding = &b;
    if (auto* slider = qobject_cast<CXBmpSlider*>(widget)) {
        slider->SetRange(Position(r.min, step), Position(r.max, step));
        connect(slider, &CXBmpSlider::sliderChanged, this,
                [this, binding, slider, step](int, int p) {
                    if (slider->Dragging()) {
                        BeginGesture();
                    }
                    Edit(*binding, p * step);
                });
        connect(slider, &CXBmpSlider::sliderReleased, this, [] { EndGesture(); });
    } else if (auto* qslider = qobject_cast<QAbstractSlider*>(widget)) {
        qslider->setRange(Position(r.min, step), Position(r.max, step));
        connect(qslider, &QAbstractSlider::sliderPressed, this, [] { BeginGesture(); });
        connect(qslider, &QAbstractSlider::sliderReleased, this, [] { EndGesture(); });
        connect(qslider, &QAbstractSlider::valueChanged, this,
                [this, binding, step](int p) { Edit(*binding, p * step); });
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, binding](bool checked) {
            Edit(*binding, checked != binding->inverted ? 1.0 : 0.0);
        });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::editingFinished, this, [this, binding, edit] {
            const TypedValue typed =
                ReadTypedValue(edit->text().toStdString(), Range(*binding).unit);
            if (typed.ok()) {
                EditTyped(*binding, typed.value);
            } else {
                ShowTarget(*Target(*binding).field, Target(*binding).entry);
            }
        });
    }
}

void FieldBinder::SetChannel(int channel) {
    m_channel = channel;
}

void FieldBinder::SetLanguage(int language) {
    m_language = language;
}

void FieldBinder::SetAdjust(const MainField& field, Adjust adjust) {
    m_adjust[field.slot] = std::move(adjust);
}

void FieldBinder::SetHook(const MainField& field, Hook hook) {
    m_hooks[field.slot] = std::move(hook);
}

FieldTarget FieldBinder::Target(const FieldBinding& b) const {
    if (b.entry != kChannelEntry) {
        return {b.field, b.entry};
    }
    if (b.channelB) {
        return {m_channel == 1 ? b.channelB : b.field, 0};
    }
    return {b.field, std::clamp(m_channel, 0, b.field->count - 1)};
}

const FieldRange& FieldBinder::Range(const FieldBinding& b) const {
    const FieldTarget t = Target(b);
    const FieldLimits* limits = FindFieldLimits(*t.field);
    return limits ? limits->Range(t.entry) : kUnlimited;
}

double FieldBinder::Value(const FieldBinding& b) const {
    const FieldTarget t = Target(b);
    const FieldRange& r = Range(b);
    const double v = ReadFieldValue(*t.field, t.entry);
    return std::isfinite(v) ? std::clamp(v, r.min, r.max) : r.min;
}

QString FieldBinder::Text(const FieldBinding& b, double value) const {
    return (b.text ? b.text : &PlainIntText)(value, m_language);
}

void FieldBinder::Show(const Attached& a) const {
    QWidget* w = a.widget.data();
    if (!w) {
        return;
    }
    const FieldBinding& b = *a.binding;
    const double v = Value(b);
    const QSignalBlocker blocker(w);
    if (a.asText) {
        if (auto* label = qobject_cast<QLabel*>(w)) {
            label->setText(Text(b, v));
        } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->setText(Text(b, v));
        }
        return;
    }
    const double step = StepOf(Range(b));
    if (auto* slider = qobject_cast<CXBmpSlider*>(w)) {
        const FieldRange& r = Range(b);
        slider->SetRange(Position(r.min, step), Position(r.max, step));
        slider->SetPos(Position(v, step));
    } else if (auto* qslider = qobject_cast<QAbstractSlider*>(w)) {
        qslider->setValue(Position(v, step));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        button->setChecked((v != 0) != b.inverted);
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        edit->setText(Text(b, v));
    }
}

void FieldBinder::RefreshFromImage() {
    for (const Attached& a : m_attached) {
        Show(a);
    }
}

void FieldBinder::ShowTarget(const MainField& field, int entry) {
    for (const Attached& a : m_attached) {
        const FieldTarget t = Target(*a.binding);
        if (t.field->slot == field.slot && t.entry == entry) {
            Show(a);
        }
    }
}

void FieldBinder::Edit(int control, double value) {
    if (const FieldBinding* b = Binding(control)) {
        Edit(*b, value);
    }
}

void FieldBinder::Edit(const FieldBinding& b, double value) {
    Store(b, Range(b).Limit(value));
}

void FieldBinder::EditTyped(const FieldBinding& b, double value) {
    const FieldRange& r = Range(b);
    const double v = r.Typed(value);
    if (value < r.min || value > r.max) {
        NoteLimited(Text(b, value), Text(b, v), m_language);
    }
    Store(b, v);
}

void FieldBinder::Store(const FieldBinding& b, double value) {
    const FieldTarget t = Target(b);
    double v = value;
    if (const auto it = m_adjust.find(t.field->slot); it != m_adjust.end() && it->second) {
        v = it->second(v);
    }
    const EditScope scope;
    ++m_editDepth;
    kv::EditField(*t.field, t.entry, v, b.setter);
    m_touched.push_back(t);
    if (const auto it = m_hooks.find(t.field->slot); it != m_hooks.end() && it->second) {
        it->second(v);
    }
    EndEdit();
}

void FieldBinder::EditTarget(const MainField& field, int entry, double value) {
    const EditScope scope;
    ++m_editDepth;
    kv::EditField(field, entry, value);
    m_touched.push_back({&field, entry});
    EndEdit();
}

void FieldBinder::EndEdit() {
    if (--m_editDepth > 0) {
        return;
    }
    // Shown once the whole edit with its rules is done, so that hooks see one consistent image.
    const std::vector<FieldTarget> touched = std::exchange(m_touched, {});
    for (const FieldTarget& t : touched) {
        ShowTarget(*t.field, t.entry);
        emit changed(t.field, t.entry);
    }
}

} // namespace kv
