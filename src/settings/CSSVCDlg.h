#pragma once

#include "shell/IPage.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;

namespace kv {

class CSSVolumePanel;
class CXBmpSlider;
class FieldBinder;
class OutputNavRow;
class UpDownButtons;

/// The sound positioning page: the room with the listener and eight speakers on the
/// positioning panel, the room size and every position as edits with up-down buttons, and
/// one row per output channel with its level and "Locate" box. Every change of the geometry
/// is written to the processor's store, and each speaker's level trim follows its distance
/// to the listener on the channel that plays it.
class CSSVCDlg : public QWidget, public IPage {
    Q_OBJECT

public:
    static constexpr int kDialogId = 334;
    static constexpr int kPanel = 1237;
    static constexpr int kModify = 1239;
    static constexpr int kReset = 1216;
    static constexpr int kCentre = 1238;
    static constexpr int kRoomWidth = 1038;
    static constexpr int kRoomLength = 1039;

    explicit CSSVCDlg(QWidget* parent = nullptr);

    PageKind Kind() const override { return PageKind::Positioning; }
    QWidget* Widget() override { return this; }
    void ApplyLanguage() override;
    void RefreshFromImage() override;
    /// Shows the image's room geometry on the panel, the edits and the up-downs.
    void ShowGeometry();

    CSSVolumePanel* Panel() const { return m_panel; }
    OutputNavRow* Navigation() const { return m_nav; }
    /// The X (axis 0) or Y (axis 1) edit and up-down of marker i (0 listener, 1..8 speakers).
    QLineEdit* PositionEdit(int marker, int axis) const;
    UpDownButtons* PositionUpDown(int marker, int axis) const;
    UpDownButtons* RoomUpDown(int axis) const {
        return m_roomUpDowns[static_cast<std::size_t>(axis)];
    }
    QCheckBox* LocateBox(int channel) const { return m_locate[static_cast<std::size_t>(channel)]; }
    /// The channel (1..8) whose "Locate" box is checked, 0 for none; kept while the
    /// application runs.
    static int RememberedLocate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        std::array<QLineEdit*, 2> edits{};
        std::array<UpDownButtons*, 2> upDowns{};
    };

    QWidget* BuildRoom();
    QWidget* BuildPositions();
    QWidget* BuildChannels();
    void AddPositionEdits(QGridLayout* grid, int gridRow, int marker, int xEdit, int xUpDown,
                          int yEdit, int yUpDown);
    /// Position up-downs in tenths: X within -5 w .. 5 w, Y within -5 l .. 5 l.
    void SetPositionRanges(int w, int l);
    void ShowMarker(int marker, float x, float y, bool setUpDowns);
    /// Reads both edits of the row, limits them to the room, shows them and moves the marker.
    void TypedPosition(int marker, bool setUpDowns);
    void StepPosition(int marker, int axis, int delta);
    void Dragged(int marker, float x, float y);
    void ApplyRoomSize(bool setUpDowns);
    void StepRoom(int axis, int delta);
    void Centre();
    void Reset();
    void Locate(int channel, bool checked);
    void ShowLocate();
    void ShowChannelNames();

    OutputNavRow* m_nav;
    CSSVolumePanel* m_panel;
    FieldBinder* m_binder;
    std::array<Row, 9> m_rows{};
    std::array<QLineEdit*, 2> m_roomEdits{};
    std::array<UpDownButtons*, 2> m_roomUpDowns{};
    std::array<QCheckBox*, 8> m_locate{};
    std::array<QLabel*, 8> m_names{};
};

/// Registers the page with the view's page table.
void RegisterPositioningPage();

} // namespace kv
