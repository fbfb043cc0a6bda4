#pragma once

#include "shell/IShellWindow.h"
#include "smarthome/SceneRecord.h"

#include <QWidget>

#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kv {

class CXBmpSlider;

/// The scene page of the smart-plug window (dialog 482): the steps of one of the six scenes
/// as a list the user edits (device, key, delay and HDMI input steps), saves into the
/// processor's smart-home memory and tests by running the scene.
///
/// The list shows the steps up to the first empty one: delays, HDMI inputs and steps of
/// present devices. The steps it does not show (devices not in the network, steps after an
/// empty one, steps no scene can hold) are kept where they stood and saved with the list, so
/// that editing a scene never loses them; only Clear removes them with the rows.
class CDialogZwaveRemoter : public QWidget, public IShellWindow {
    Q_OBJECT
public:
    static constexpr int kDialogId = 482;
    static constexpr int kSceneComboId = 1217;
    static constexpr int kStepListId = 1223;
    static constexpr int kDeviceComboId = 1134;
    static constexpr int kOnCheckId = 1045;
    static constexpr int kLevelSliderId = 1014;
    static constexpr int kLevelLabelId = 1008;
    static constexpr int kKeyComboId = 1135;
    static constexpr int kLearnedOnlyId = 1238;
    static constexpr int kDelaySliderId = 1237;
    static constexpr int kDelayLabelId = 1009;
    static constexpr int kAddValueId = 1068;
    static constexpr int kAddKeyId = 1236;
    static constexpr int kAddDelayId = 1235;
    static constexpr int kResetValueId = 1240;
    static constexpr int kResetKeyId = 1241;
    static constexpr int kResetDelayId = 1242;
    static constexpr int kDeleteId = 1069;
    static constexpr int kUpId = 1075;
    static constexpr int kDownId = 1076;
    static constexpr int kClearId = 1077;
    static constexpr int kSaveId = 1074;
    static constexpr int kTestId = 1081;
    static constexpr int kModifyId = 1078;
    /// The HDMI input of an HDMI step, with its add and replace buttons.
    static constexpr int kHdmiComboId = 1243;
    static constexpr int kAddHdmiId = 1244;
    static constexpr int kResetHdmiId = 1245;
    /// Delay steps the page makes: 1 .. 100 s.
    static constexpr int kMinDelay = 1;
    static constexpr int kMaxDelay = 100;

    explicit CDialogZwaveRemoter(QWidget* parent = nullptr);

    /// Fills the scene combo in the interface language and selects the page's scene.
    void LoadSceneNames();
    /// Fills the device combo with every present node 2..232 by name (the selected node stays
    /// selected while it is present), then shows the value controls and keys for it.
    void LoadDevices();
    /// Fills the list from the selected scene's record; clears the changed flag.
    void LoadSteps();
    /// Fills the key combo from the selected device's key file (created when missing).
    void LoadKeys();

    /// Reloads devices, keys and scene names, and the steps unless the list has unsaved edits.
    void RefreshFromImage() override;
    void ApplyLanguage() override;

    int Scene() const { return m_scene; }
    bool Changed() const { return m_changed; }
    /// The steps the list shows, in order.
    std::vector<zwave::SceneStep> ListedSteps() const;
    /// The steps kept without a row.
    int HiddenSteps() const { return static_cast<int>(m_hidden.size()); }
    /// The record Save stores: the rows with the steps kept without a row where they stood.
    zwave::SceneRecord RecordToSave() const;
    QTreeWidget* StepList() const { return m_list; }
    /// The note under the list about the steps kept without a row.
    QLabel* HiddenNote() const { return m_hiddenNote; }
    QComboBox* SceneCombo() const { return m_scenes; }
    QComboBox* DeviceCombo() const { return m_devices; }
    QComboBox* KeyCombo() const { return m_keys; }
    QComboBox* HdmiCombo() const { return m_hdmiInputs; }
    CXBmpSlider* LevelSlider() const { return m_level; }
    CXBmpSlider* DelaySlider() const { return m_delay; }

private:
    /// A step kept without a row: it stood before row `before` of the list.
    struct HiddenStep {
        int before = 0;
        zwave::SceneStep step;
    };

    void OnSceneSelected();
    void OnDeviceSelected();
    int SelectedNode() const;
    int SelectedRow() const;
    /// The step the controls describe (the selected device's value, its selected key, the
    /// delay); false after a notice.
    bool DeviceStep(zwave::SceneStep& step);
    bool KeyStep(zwave::SceneStep& step);
    bool DelayStep(zwave::SceneStep& step);
    bool HdmiStep(zwave::SceneStep& step);
    /// Appends a row, after the check that the scene has room for one more step.
    void Add(bool (CDialogZwaveRemoter::*make)(zwave::SceneStep&));
    /// Replaces the selected row; a full list can be edited this way too.
    void Replace(bool (CDialogZwaveRemoter::*make)(zwave::SceneStep&));
    void Delete();
    void Move(int by);
    void Clear();
    /// Stores the list as the scene; false when it could not be written to the processor.
    bool Save();
    void Test();
    void SetRow(QTreeWidgetItem* item, zwave::SceneStep step);
    /// The name and text of every row again from its step.
    void RefreshRowTexts();
    QTreeWidgetItem* NewRow(const QString& index, zwave::SceneStep step);
    void MarkChanged();
    void ShowHiddenNote();
    void ShowLevel();
    void ShowDelay();
    /// The HDMI input names, which depend on the language and the processor's model.
    void LoadHdmiInputs();
    void SetColumnTitles();

    QLabel* m_sceneCaption;
    QComboBox* m_scenes;
    QTreeWidget* m_list;
    QLabel* m_hiddenNote;
    QLabel* m_deviceCaption;
    QComboBox* m_devices;
    QCheckBox* m_on;
    CXBmpSlider* m_level;
    QLabel* m_levelLabel;
    QLabel* m_keyCaption;
    QComboBox* m_keys;
    QCheckBox* m_learnedOnly;
    QLabel* m_delayCaption;
    CXBmpSlider* m_delay;
    QLabel* m_delayLabel;
    QLabel* m_hdmiCaption;
    QComboBox* m_hdmiInputs;
    int m_scene = 0;
    bool m_changed = false;
    std::vector<HiddenStep> m_hidden;
};

} // namespace kv
