#pragma once

#include "image/FieldLimits.h"
#include "pages/EditHistory.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <span>
#include <vector>

class QWidget;

/// Ties a page's controls to main-block fields of the parameter image.
///
/// How a page declares its controls:
///
///     constexpr FieldBinding kControls[] = {
///         // control, field, entry, value text control, display format
///         {1056, &fields::micInputVolume, 0, 1160, &PlainInt},
///         {1190, &fields::micToChannelA, 0},
///         {1000, &fields::echoTime, kChannelEntry, 1038, &MsText},
///     };
///     m_binder = new FieldBinder(kControls, this);
///     m_binder->Attach(1056, volumeSlider);   // and the value text 1160, and so on
///     m_binder->SetHook(fields::echoTime, ...); // a rule beyond store-and-send
///
/// The range and step of every control come from the one range table (FieldLimits), the same
/// table `kvctl set` checks; the setter is the command table's field setter unless a binding
/// names its own. One generic path then serves every control: RefreshFromImage shows the
/// image's values (clamped into range, without sending), a user's change is stored and sent
/// through the setter, recorded as an undo step and shown again on every control of the same
/// field. The language key of a control's text is IDD<dialog>_<control>.
namespace kv {

/// The text of a value; language 0 Chinese, 1 English.
using ValueText = QString (*)(double value, int language);

/// An entry that follows the binder's channel (microphone channel A = 0, B = 1, or an output
/// channel).
inline constexpr int kChannelEntry = -1;

struct FieldBinding {
    int control;                  ///< control number in its dialog (0 for controls without one)
    const MainField* field;       ///< the field it edits
    int entry = 0;                ///< entry of the field, or kChannelEntry
    int textControl = 0;          ///< control that shows the value as text (0: none)
    ValueText text = nullptr;     ///< display format (null: "%d")
    FieldSetter setter = nullptr; ///< null: the command table's field setter
    const MainField* channelB = nullptr; ///< with kChannelEntry: the field of channel 1, entry 0
    bool inverted = false; ///< a check or radio button that shows and sets the value 0 when checked
};

/// A field and entry.
struct FieldTarget {
    const MainField* field;
    int entry;
};

class FieldBinder : public QObject {
    Q_OBJECT
public:
    /// Returns the value to store instead (a limit), given the value the user chose.
    using Adjust = std::function<double(double value)>;
    /// Runs after a user edit of the field was stored and sent, inside the same undo step.
    using Hook = std::function<void(double value)>;

    FieldBinder(std::span<const FieldBinding> bindings, QObject* parent = nullptr);

    /// Connects a widget to the binding of that control number (a slider, a check or radio
    /// button, a line edit) or to the binding showing its text there (a label or line edit).
    void Attach(int control, QWidget* widget);
    /// Attaches every control number of the bindings that find() returns a widget for.
    void AttachAll(const std::function<QWidget*(int control)>& find);

    void SetChannel(int channel);
    int Channel() const { return m_channel; }
    void SetLanguage(int language);
    int Language() const { return m_language; }

    void SetAdjust(const MainField& field, Adjust adjust);
    void SetHook(const MainField& field, Hook hook);

    const FieldBinding* Binding(int control) const;
    std::span<const FieldBinding> Bindings() const { return m_bindings; }
    FieldTarget Target(const FieldBinding& b) const;
    const FieldRange& Range(const FieldBinding& b) const;
    /// The image's value, clamped into the range.
    double Value(const FieldBinding& b) const;
    QString Text(const FieldBinding& b, double value) const;

    /// Shows every bound control from the image.
    void RefreshFromImage();
    /// Shows the controls of one field entry.
    void ShowTarget(const MainField& field, int entry);

    /// A user's change: the value is clamped and put on the step grid, adjusted, stored and
    /// sent through the setter, the field's hook runs, all of it one undo step; the controls
    /// of every changed field show the result.
    void Edit(const FieldBinding& b, double value);
    void Edit(int control, double value);
    /// A value typed into a box: limited to the range (a note says so when it was outside)
    /// and put on the step grid unless the field keeps typed values as they are; then as Edit.
    void EditTyped(const FieldBinding& b, double value);
    /// A change made by a rule (from a hook): stored, sent, recorded in the same step, shown.
    void EditTarget(const MainField& field, int entry, double value);

signals:
    /// A field entry was changed through this binder (pages update views it does not own).
    void changed(const kv::MainField* field, int entry);

private:
    struct Attached {
        QPointer<QWidget> widget;
        const FieldBinding* binding;
        bool asText;
    };

    void Show(const Attached& a) const;
    void Connect(QWidget* widget, const FieldBinding& b);
    void EndEdit();
    /// Stores, sends and shows a value already within the range.
    void Store(const FieldBinding& b, double value);
    static double StepOf(const FieldRange& r);

    std::vector<FieldBinding> m_bindings;
    std::vector<Attached> m_attached;
    std::map<int, Adjust> m_adjust; ///< by slot
    std::map<int, Hook> m_hooks;    ///< by slot
    std::vector<FieldTarget> m_touched;
    int m_channel = 0;
    int m_language = 0;
    int m_editDepth = 0;
};

/// "%d" of the value.
QString PlainIntText(double value, int language);

} // namespace kv
