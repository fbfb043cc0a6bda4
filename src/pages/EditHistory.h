#pragma once

#include "image/MainFields.h"
#include "image/ParamImage.h"

#include <QUndoCommand>

#include <functional>
#include <vector>

class QUndoStack;

/// The undo history of the user's edits. Every edit a page makes through its field binder, and
/// every equaliser band it edits, becomes a step of one process-wide stack (the main window's).
/// Steps hold what changed (field and entry, or group and band) with its values before and
/// after, never widgets: undoing stores and sends the old value exactly like a user edit, so
/// it works whatever page is shown.
namespace kv {

/// Stores a value of a field entry in the image and sends it. Values are in page units: the
/// slot's number for integer fields, the single for float fields, 0/1 for x100 flags.
using FieldSetter = void (*)(const MainField& field, int entry, double value);

/// The value of a field entry in page units.
double ReadFieldValue(const MainField& field, int entry);
/// The default setter: the field setter of the command table (SetParam, SetParamFloat).
void StoreAndSend(const MainField& field, int entry, double value);

/// Volume levels as the ribbon sends them: the integer is stored, and every command carrying
/// the slot gets slot / 100 + 0.0005 (slot / 10000 for x10000 fields).
void StoreAndSendLevel(const MainField& field, int entry, double value);

/// A field entry that changed.
struct FieldChange {
    const MainField* field;
    int entry;
    double before;
    double after;
    FieldSetter setter; ///< how the value is stored and sent again on undo and redo
};

/// An equaliser band record that changed.
struct BandChange {
    int group;
    int band;
    EqBand before;
    EqBand after;
};

/// One undo step: the changes of one user edit (a value and what its rules changed with it),
/// or of one whole drag.
class EditStep : public QUndoCommand {
public:
    EditStep(std::vector<FieldChange> fields, std::vector<BandChange> bands, int gesture);

    void undo() override;
    void redo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand* other) override;

    const std::vector<FieldChange>& Fields() const { return m_fields; }
    const std::vector<BandChange>& Bands() const { return m_bands; }

private:
    bool SameTargets(const EditStep& other) const;

    std::vector<FieldChange> m_fields;
    std::vector<BandChange> m_bands;
    int m_gesture;      ///< the drag the step belongs to, 0 for none
    bool m_done = true; ///< pushed after the change was made: the first redo does nothing
};

/// Makes stack the history the edits go to (nullptr: edits are not recorded). afterApply runs
/// after every undo and redo, so that the windows show the image again.
void SetEditHistory(QUndoStack* stack, std::function<void()> afterApply = {});
QUndoStack* EditHistory();
/// Forgets every step (after a read-all, a write-all, a mode recall or a file load).
void ClearEditHistory();
/// True while an undo or redo is storing values: edits made then are not recorded.
bool ApplyingHistory();

/// A drag or slider movement: the edits between Begin and End that change the same values
/// merge into one step. Begin inside an open gesture continues it.
void BeginGesture();
void EndGesture();

/// Collects the changes recorded while it lives into one step, pushed when it ends. Nested
/// scopes add to the outermost one.
class EditScope {
public:
    EditScope();
    ~EditScope();
    EditScope(const EditScope&) = delete;
    EditScope& operator=(const EditScope&) = delete;
};

/// Records a change that was just made (into the open scope, else as a step of its own).
void RecordFieldChange(const FieldChange& change);
void RecordBandChange(const BandChange& change);

/// Stores a field value through the setter (the default one when null) and records the change.
void EditField(const MainField& field, int entry, double value, FieldSetter setter = nullptr);
/// Writes and sends an equaliser band (WriteEqBand, no extra gain) and records the change.
/// False when the group has no such band.
bool EditBand(int group, int band, const EqBand& value);

} // namespace kv
